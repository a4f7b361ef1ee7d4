// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/PlatformChoice.h"

#include <QDir>
#include <QFont>

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

bool displayMissing(QByteArrayView qtQpaPlatform, QByteArrayView display, QByteArrayView waylandDisplay,
                    const QList<QByteArray>& arguments)
{
    QByteArray chosen = qtQpaPlatform.toByteArray();
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QByteArray& argument = arguments[i];
        if ((argument == "-platform" || argument == "--platform") && i + 1 < arguments.size())
            chosen = arguments[i + 1];
        else if (argument.startsWith("-platform=") || argument.startsWith("--platform="))
            chosen = argument.mid(argument.indexOf('=') + 1);
    }
    if (chosen.isEmpty())
        return display.isEmpty() && waylandDisplay.isEmpty();
    for (const QByteArray& entry : chosen.split(';')) {
        // A platform's options follow its name after a colon ("xcb:nodpi").
        const QByteArray name = entry.split(':').first().trimmed();
        if (name.isEmpty())
            continue;
        if (name != "xcb" || !display.isEmpty())
            return false;
    }
    return true;
}

std::optional<QByteArray> platformToRequestHere(const QList<QByteArray>& arguments)
{
#ifdef Q_OS_WIN
    Q_UNUSED(arguments);
    return std::nullopt;
#else
    return platformToRequest(qgetenv("QT_QPA_PLATFORM"), qgetenv("DISPLAY"), qgetenv("WAYLAND_DISPLAY"),
                             arguments);
#endif
}

bool displayMissingHere(const QList<QByteArray>& arguments)
{
#ifdef Q_OS_WIN
    Q_UNUSED(arguments);
    return false;
#else
    return displayMissing(qgetenv("QT_QPA_PLATFORM"), qgetenv("DISPLAY"), qgetenv("WAYLAND_DISPLAY"),
                          arguments);
#endif
}

void chooseOffscreenPlatform()
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
#ifdef Q_OS_WIN
    if (qEnvironmentVariableIsEmpty("QT_QPA_FONTDIR")) {
        const QString windows = qEnvironmentVariable("WINDIR", QStringLiteral("C:\\Windows"));
        qputenv("QT_QPA_FONTDIR", QDir::toNativeSeparators(windows + QStringLiteral("/Fonts")).toLocal8Bit());
    }
#endif
}

void mapMetricCompatibleFaces()
{
#ifdef Q_OS_WIN
    QFont::insertSubstitution(QStringLiteral("Arial"), QStringLiteral("Liberation Sans"));
    QFont::insertSubstitution(QStringLiteral("Times New Roman"), QStringLiteral("Liberation Serif"));
#endif
}
