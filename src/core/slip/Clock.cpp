// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/slip/Clock.h"

#include <QRandomGenerator>

QDate SystemClock::today() const
{
    return QDate::currentDate();
}

double SystemClock::uniform()
{
    return QRandomGenerator::global()->generateDouble();
}
