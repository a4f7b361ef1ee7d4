// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/archive/ArchiveDates.h"
#include "core/archive/SlipRecord.h"

#include <QDate>
#include <QLocale>
#include <QString>

// The benchmarks' archives: record r as the save writes it, the payer, the address and the reason
// numbered r, a new date every 8 records. False with problem when it cannot be stored.
inline bool numberedSavedRecord(qsizetype r, QByteArray& record, UnstorableCharacter& problem)
{
    using namespace Qt::StringLiterals;
    static const QLocale italian(QLocale::Italian, QLocale::Italy);
    const QString r10 = QString::number(r);
    const SlipTexts fields = {u"Cognome Nome "_s + r10,
                              u"Via Garibaldi "_s + r10,
                              u"00100"_s,
                              u"Città"_s,
                              u"1234,50"_s,
                              u"milleduecentotrentaquattro/50"_s,
                              u"Ente Acque"_s,
                              u"Ufficio"_s,
                              QString(),
                              u"12345678"_s,
                              u"Bolletta n. "_s + r10,
                              u"123"_s};
    const QString date = savedDateText(QDate(2020, 1, 1).addDays(r / 8), italian);
    return encodeSavedRecord(date, fields, PaletteState{false, true, CheckBoxState::Ticked}, record, problem);
}
