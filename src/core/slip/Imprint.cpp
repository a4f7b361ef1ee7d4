// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/slip/Imprint.h"

#include "core/slip/Clock.h"

#include <cmath>

namespace {

// A figure drawn at random: one of span whole numbers from base on.
struct FigureRange {
    qint64 span;
    qint64 base;
};

constexpr FigureRange OfficeRange{70, 20};         // 20-89, before the slash
constexpr FigureRange CounterRange{700, 200};      // 200-899, after the slash
constexpr FigureRange DeskRange{7, 1};             // 1-7, after "0"
constexpr FigureRange SequenceRange{75, 11};       // 11-85, after "00"
constexpr FigureRange OperatorRange{600, 200};     // 200-799, after "VCY"
constexpr FigureRange ReceiptRange{1000000, 3000}; // 3000-1002999, after "C/C"

qint64 draw(Clock& clock, FigureRange range)
{
    return static_cast<qint64>(std::floor(clock.uniform() * static_cast<double>(range.span))) + range.base;
}

} // namespace

ImprintTexts makeImprint(Clock& clock)
{
    // Drawn in this order, whatever the order they are printed in.
    const qint64 office = draw(clock, OfficeRange);
    const qint64 counter = draw(clock, CounterRange);
    const qint64 desk = draw(clock, DeskRange);
    const qint64 sequence = draw(clock, SequenceRange);
    const qint64 operatorCode = draw(clock, OperatorRange);
    const qint64 receipt = draw(clock, ReceiptRange);

    ImprintTexts texts;
    texts.label23 = QStringLiteral("%1/%2    0%3    %4   R1")
                        .arg(QString::number(office), QString::number(counter), QString::number(desk),
                             clock.today().toString(QStringLiteral("dd-MM-yy")));
    texts.label24 = QStringLiteral("00%1                     *100,00*").arg(sequence);
    texts.label25 = QStringLiteral("VCY  %1                 *1,00*").arg(operatorCode);
    texts.label26 = QStringLiteral("C/C   %1").arg(receipt);
    return texts;
}
