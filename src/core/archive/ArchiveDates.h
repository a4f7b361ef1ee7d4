// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "core/archive/SlipRecord.h"

#include <QDate>
#include <QHash>
#include <QLocale>
#include <QString>

#include <optional>

// The date of a save as stored: "dd mmmm yyyy" with the full month name of the given locale
// (QLocale::system() in the application). Where the archive's code page cannot hold that locale's
// month name the Italian one is written, so the save never fails on its date.
QString savedDateText(QDate date, const QLocale& locale);

// Reads stored dates back. A month name is accepted in any language Qt knows, full or abbreviated, in
// any letter case, so a shared archive written by users of different languages lists every date; where
// languages disagree on a name, Italian wins, then the given locale's language.
class StoredDateReader
{
public:
    explicit StoredDateReader(const QLocale& system);

    std::optional<QDate> read(QStringView stored) const;
    // "dd/mm/yyyy", or the stored text itself when it cannot be read as a date.
    QString listText(QStringView stored) const;

private:
    QHash<QString, int> m_months; // folded month name -> 1..12
};

// The archive list's entry of a record: "dd/mm/yyyy - " and the payer's name.
QString listEntryText(const SlipRecord& record, const StoredDateReader& dates);

// What tells apart entries that read alike: the amount, the payee's lines and the reason, one a line
// ("Importo: 15,00 euro", "Intestato a: Comune, Ufficio Tributi", "Causale: Tassa"), empty ones left
// out. The list shows it as the entry's tool tip.
QString listEntryDetails(const SlipRecord& record);

// The slip named in the delete question's second line: "dd/mm/yyyy - payer, amount euro".
QString deletedSlipLine(const SlipRecord& record, const StoredDateReader& dates);

// All entries of a table, in file order.
QStringList listEntries(const ArchiveTable& table, const StoredDateReader& dates);
