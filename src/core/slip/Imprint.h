// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>

class Clock;

// The imitation post-office validation imprint in the stamp box: four lines of random figures and the date.
struct ImprintTexts {
    QString label23;
    QString label24;
    QString label25;
    QString label26;
};

ImprintTexts makeImprint(Clock& clock);
