// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/print/PrintFont.h"

#include <QFontInfo>

QFont PrintFont(double points, bool bold)
{
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(points);
    font.setBold(bold);
    font.setKerning(false);
    // The outlines' own widths, on every system: hinting would fit each letter to the device's pixels
    // and widen a line by up to a few hundredths, by a different amount on each font engine.
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

bool IsArialMetricCompatible(const QString& resolvedFamily)
{
    // fontconfig names the face exactly; a foundry may follow in brackets ("Arimo [GOOG]").
    QString family = resolvedFamily.trimmed();
    const qsizetype bracket = family.indexOf(u'[');
    if (bracket > 0)
        family = family.left(bracket).trimmed();
    for (const QLatin1StringView compatible :
         {QLatin1StringView("Arial"), QLatin1StringView("Liberation Sans"), QLatin1StringView("Arimo")}) {
        if (family.compare(compatible, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

QString ResolvedArialFamily()
{
    return QFontInfo(PrintFont()).family();
}

QString ArialMissingMessage(const QString& resolvedFamily)
{
    return QStringLiteral("Il carattere \u00abArial\u00bb non \u00e8 installato: al suo posto si usa "
                          "\u00ab%1\u00bb, che ha larghezze diverse, e sul bollettino stampato importi e "
                          "codici potrebbero sovrapporsi.\nInstalla il pacchetto fonts-liberation "
                          "(sudo apt install fonts-liberation) e riavvia il programma.")
        .arg(resolvedFamily.isEmpty() ? QStringLiteral("nessun carattere") : resolvedFamily);
}
