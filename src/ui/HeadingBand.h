// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QLabel>

// The slip form's red heading band. Its text ends in a long run of spaces and a last word; when the whole
// text is wider than the band, the last word is drawn against the right edge instead of being cut off.
class HeadingBand : public QLabel
{
    Q_OBJECT

public:
    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent* event) override;
};
