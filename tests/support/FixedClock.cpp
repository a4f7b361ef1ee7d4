// SPDX-License-Identifier: GPL-3.0-or-later

#include "FixedClock.h"

QDate FixedClock::today() const
{
    return date;
}

double FixedClock::uniform()
{
    return draws.isEmpty() ? 0.5 : draws.takeFirst();
}
