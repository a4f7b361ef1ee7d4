// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>
#include <QStringView>

#include <optional>

// A number as a workbook stores it ("1234.5", "1.2345E3", "-0.07"), kept as its decimal digits and
// never put through a double, so that what the sheet holds is what the slip gets.
struct ExactNumber {
    bool negative = false;
    QString digits;   // no leading zeros; empty for zero
    int exponent = 0; // value = digits × 10^exponent

    // Reads the stored text of a number: optional sign, digits with an optional ".", an optional
    // exponent. Nothing else, not even spaces.
    static std::optional<ExactNumber> parse(QStringView text);

    bool isZero() const { return digits.isEmpty(); }
    // Plain decimal, "." before the decimals, no exponent, no trailing zeros: "1234.5", "-3", "0.001".
    QString plain() const;
    // Rounded to decimals places, a dropped 5 rounding away from zero.
    ExactNumber rounded(int decimals) const;
    // Multiplied by 10^places (100 for a percentage is 2).
    ExactNumber shifted(int places) const;
    // The whole part and the decimals, as digits without sign: 1234.5 with 2 decimals is {"1234", "50"};
    // the value is rounded first. The whole part is "" for a value below one.
    void split(int decimals, QString& whole, QString& fraction) const;
    // The whole part toward minus infinity, when it fits an int (for day serials).
    std::optional<qint64> floorToInteger() const;
    // The fraction of the day after the whole part, in seconds rounded to the nearest (for times).
    int secondsOfDay() const;
};
