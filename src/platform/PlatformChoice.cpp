#include "platform/PlatformChoice.h"

std::optional<QByteArray> platformToRequest(QByteArrayView qtQpaPlatform, QByteArrayView display,
                                            QByteArrayView waylandDisplay, const QList<QByteArray>& arguments)
{
    if (!qtQpaPlatform.isEmpty() || display.isEmpty())
        return std::nullopt;
    for (const QByteArray& argument : arguments) {
        if (argument == "-platform" || argument == "--platform" || argument.startsWith("-platform=") ||
            argument.startsWith("--platform="))
            return std::nullopt;
    }
    return waylandDisplay.isEmpty() ? QByteArray("xcb") : QByteArray("xcb;wayland");
}
