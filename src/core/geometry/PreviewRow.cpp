// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/geometry/PreviewRow.h"

#include <algorithm>

std::optional<QList<int>> arrangePreviewRow(const QList<int>& lefts, const QList<int>& widths, int gap,
                                            int rowLeft, int rowRight)
{
    if (lefts.size() != widths.size())
        return std::nullopt;
    QList<int> placed = lefts;
    // Left to right: no preview starts before the end of the one before it and the gap.
    for (qsizetype i = 0; i < placed.size(); ++i) {
        const int earliest = i == 0 ? rowLeft : placed[i - 1] + widths[i - 1] + gap;
        placed[i] = std::max(placed[i], earliest);
    }
    // Right to left: no preview ends past the row's end or past the start of the next one less the gap.
    for (qsizetype i = placed.size() - 1; i >= 0; --i) {
        const int latestEnd = i == placed.size() - 1 ? rowRight : placed[i + 1] - gap;
        placed[i] = std::min(placed[i], latestEnd - widths[i]);
    }
    if (!placed.isEmpty() && placed.front() < rowLeft)
        return std::nullopt;
    return placed;
}
