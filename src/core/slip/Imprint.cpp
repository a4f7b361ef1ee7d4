#include "core/slip/Imprint.h"

#include "core/slip/Clock.h"

#include <cmath>

namespace {

qint64 draw(Clock& clock, qint64 span, qint64 base)
{
    return static_cast<qint64>(std::floor(clock.uniform() * static_cast<double>(span))) + base;
}

} // namespace

ImprintTexts makeImprint(Clock& clock)
{
    const qint64 a = draw(clock, 70, 20);
    const qint64 b = draw(clock, 700, 200);
    const qint64 c = draw(clock, 7, 1);
    const qint64 d = draw(clock, 75, 11);
    const qint64 e = draw(clock, 600, 200);
    const qint64 f = draw(clock, 1000000, 3000);

    ImprintTexts texts;
    texts.label23 = QStringLiteral("%1/%2    0%3    %4   R1")
                        .arg(a)
                        .arg(b)
                        .arg(c)
                        .arg(clock.today().toString(QStringLiteral("dd-MM-yy")));
    texts.label24 = QStringLiteral("00%1                     *100,00*").arg(d);
    texts.label25 = QStringLiteral("VCY  %1                 *1,00*").arg(e);
    texts.label26 = QStringLiteral("C/C   %1").arg(f);
    return texts;
}
