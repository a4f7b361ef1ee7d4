// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "core/slip/SlipFields.h"

#include <QString>

// The slip that archive_worker saves under a name; the crash test recognises a whole record by it.
inline SlipTexts workerSlip(const QString& name)
{
    using namespace Qt::StringLiterals;
    return {name,
            u"Via "_s + name + u" 12"_s,
            u"00100"_s,
            u"Città di "_s + name,
            u"1234,56"_s,
            u"milleduecentotrentaquattro/56"_s,
            u"Ente "_s + name,
            u"Ufficio riscossioni"_s,
            u"Sportello €"_s,
            u"12345678"_s,
            u"Pagamento “"_s + name + u"” – rata unica"_s,
            u"123"_s};
}

inline constexpr PaletteState WorkerPalette{true, false, CheckBoxState::Greyed};
