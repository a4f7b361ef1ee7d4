// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/Failure.h"

QString Failure::SentenceOpening(const QString& clause)
{
    return clause.left(1).toUpper() + clause.mid(1);
}
