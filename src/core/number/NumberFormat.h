// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "core/number/ExactNumber.h"

#include <QDate>
#include <QList>
#include <QString>

// A spreadsheet number format ("00000", "#,##0.00", "0%", "dd/mm/yyyy", "[$€-410] #,##0.00;[RED]-…"),
// as the .xlsx format codes write it, applied to a value as an Italian sheet shows it: "," before the
// decimals, "." between thousands, Italian month and day names. What the codes can say beyond what
// slips need (conditions, fractions, scaling by thousands, elapsed times) falls back to the plain
// value, never to a guess.
class NumberFormat
{
public:
    NumberFormat() = default; // General
    explicit NumberFormat(QStringView code);
    // The formats .xlsx files name by number only (0 to 49).
    static NumberFormat builtin(int id);

    bool isDate() const { return m_date; }
    // The value as the sheet shows it.
    QString show(const ExactNumber& value) const;
    // A date serial's day and time as the sheet shows them.
    QString showDate(QDate date, int secondsOfDay) const;

    struct Token {
        enum Kind { Literal, Zero, Hash, Question, Point, Comma, Percent, Exponent, At, General, DatePart };
        Kind kind = Literal;
        QString text; // Literal: the text; Exponent: "+" or "-"; DatePart: the letters, lower case
    };
    struct Section {
        QList<Token> tokens;
        bool supported = true;
    };

private:
    QString showNumber(const Section& section, const ExactNumber& value, bool withSign) const;

    QList<Section> m_sections;
    bool m_date = false;
};

// A day serial of an .xlsx sheet as a date: days since 1899-12-31 with the 29 February 1900 that
// never was (serial 60), or since 1904-01-01 for a workbook in the 1904 system. Invalid for serial 60,
// for serials below 1 (0 in the 1904 system) and for days beyond the year 9999.
QDate dateOfSerial(qint64 serial, bool system1904);
// The serial of a date in the 1900 system (the one written by the export).
qint64 serialOfDate(QDate date);
