// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "core/slip/Clock.h"

#include <QList>

// A clock whose date and random draws are set by the test.
class FixedClock final : public Clock
{
public:
    explicit FixedClock(QDate date = QDate(2026, 12, 7)) : date(date) {}

    QDate date;
    // Draws handed out in order; when exhausted, 0.5.
    QList<double> draws;

    QDate today() const override;
    double uniform() override;
};
