// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QDate>

// Today's date and the random figures of the imitation imprint, behind a seam so tests can fix them.
class Clock
{
public:
    virtual ~Clock() = default;
    virtual QDate today() const = 0;
    // A uniform draw in [0, 1).
    virtual double uniform() = 0;
};

class SystemClock final : public Clock
{
public:
    QDate today() const override;
    double uniform() override;
};
