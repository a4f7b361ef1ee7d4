// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/print/PrintRoutines.h"

#include "core/print/PrintSurface.h"
#include "core/slip/SlipText.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double LineStep = 0.3;

// The line a wrapped text starts with: the length of the shortest beginning of text whose width
// reaches widthLimit, or 0 when the whole text stays narrower. The width of a beginning never
// shrinks as it grows (each character adds its advance, which outweighs any kerning against the
// one before it), so the shortest such beginning is found by bracketing it between a length known to
// stay below the limit and one known to reach it, rather than by measuring every beginning in turn.
// The next length measured is where the widths measured so far say the limit falls; when that does
// not at least halve the bracket, the next one halves it. Lines of a text are much alike, so the
// search starts at the length of the line before (guess). A line of L characters then costs a few
// measurements of about L characters, and about twice log2(L) of them at worst.
qsizetype firstLineLength(PrintSurface& surface, QStringView text, double widthLimit, qsizetype guess)
{
    const qsizetype size = text.size();
    qsizetype below = 0; // the empty beginning has no width
    double belowWidth = 0;
    qsizetype reached = size + 1; // none known to reach the limit yet
    double reachedWidth = 0;
    qsizetype upwardStep = 0;
    qsizetype length = std::clamp<qsizetype>(guess, 1, size);
    for (;;) {
        const qsizetype bracket = reached - below;
        const double width = surface.TextWidth(text.first(length).toString());
        if (width >= widthLimit) {
            reached = length;
            reachedWidth = width;
        } else {
            below = length;
            belowWidth = width;
        }
        if (reached - below <= 1)
            break;
        if (reached > size) {
            // Still below the limit: go where the average width so far says it is reached, at least
            // twice as far as the step before (a text of narrow beginnings is still bracketed in a few
            // steps) and at most three times as far as it has come (a wide mark after narrow ones
            // never sends a measurement over the whole rest of a long text).
            const double estimate =
                belowWidth > 0 ? std::ceil((widthLimit - belowWidth) * below / belowWidth) : double(below);
            const qsizetype most = 2 * below + 64;
            const qsizetype step = std::clamp(qsizetype(std::min(estimate, double(most))),
                                              std::max<qsizetype>(1, 2 * upwardStep), most);
            upwardStep = step;
            length = std::min(size, below + step);
            continue;
        }
        const bool halved = 2 * (reached - below) <= bracket;
        if (!halved || reachedWidth <= belowWidth) {
            length = below + (reached - below) / 2;
        } else {
            const double share = (widthLimit - belowWidth) / (reachedWidth - belowWidth);
            length = below + qsizetype(std::ceil(share * double(reached - below)));
            length = std::clamp(length, below + 1, reached - 1);
        }
    }
    return reached > size ? 0 : reached;
}

} // namespace

void PrintRightAligned(PrintSurface& surface, float rightEdge, float y, const QString& text)
{
    const double width = surface.TextWidth(text);
    surface.PrintAt(static_cast<float>(rightEdge - width), y, text);
}

void PrintWrapped(PrintSurface& surface, float x, double firstY, float widthLimit, const QString& text)
{
    QStringView rest(text);
    double y = firstY;
    qsizetype guess = 32;
    while (!rest.isEmpty()) {
        const qsizetype length = firstLineLength(surface, rest, widthLimit, guess);
        y += LineStep;
        if (length == 0) {
            surface.PrintAt(x, static_cast<float>(y), rest.toString());
            break;
        }
        surface.PrintAt(x, static_cast<float>(y), rest.first(length).toString());
        rest = TrimmedOfSpaces(rest.sliced(length));
        guess = length;
    }
}
