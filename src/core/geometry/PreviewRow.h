// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QList>

#include <optional>

// The code-line previews of the slip form stand in one row under their captions. Each keeps its design
// left edge while it fits; a longer one pushes the next ones right, and the row is pulled back left where
// it would run past its right end, so that no preview covers another or is cut by the window's edge.
//
// lefts and widths are in pixels, one entry per preview from left to right; gap is the least space
// between two previews; the row runs from rowLeft to rowRight (exclusive). Gives the left edges, or no
// result when the previews and their gaps are wider than the row.
std::optional<QList<int>> arrangePreviewRow(const QList<int>& lefts, const QList<int>& widths, int gap,
                                            int rowLeft, int rowRight);
