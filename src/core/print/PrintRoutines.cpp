#include "core/print/PrintRoutines.h"

#include "core/print/PrintSurface.h"
#include "core/slip/SlipText.h"

namespace {

constexpr double LineStep = 0.3;

} // namespace

void PrintRightAligned(PrintSurface& surface, float rightEdge, float y, const QString& text)
{
    const double width = surface.TextWidth(text);
    surface.PrintAt(static_cast<float>(rightEdge - width), y, text);
}

void PrintWrapped(PrintSurface& surface, float x, double firstY, float widthLimit, const QString& text)
{
    QString rest = text;
    double y = firstY;
    qsizetype length = 1;
    while (length <= rest.size()) {
        const QString line = rest.left(length);
        if (surface.TextWidth(line) >= widthLimit) {
            y += LineStep;
            surface.PrintAt(x, static_cast<float>(y), line);
            rest = TrimmedOfSpaces(QStringView(rest).sliced(length)).toString();
            length = 1;
        } else {
            ++length;
        }
    }
    if (!rest.isEmpty()) {
        y += LineStep;
        surface.PrintAt(x, static_cast<float>(y), rest);
    }
}
