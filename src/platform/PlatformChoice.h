// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

#include <optional>

// The Qt platform plugin the application asks for, decided before the application object exists from
// the environment and the command line; no result leaves the choice to Qt.
//
// Placing the palette beside the slip form and cutting its outline need X11: under Wayland the
// compositor places every window itself. So when the user chose no platform (QT_QPA_PLATFORM unset or
// empty, no -platform or --platform argument) and an X display is there, the answer is xcb; in a Wayland
// session (XWayland) native Wayland follows as the fallback, should the X display not answer.
std::optional<QByteArray> platformToRequest(QByteArrayView qtQpaPlatform, QByteArrayView display,
                                            QByteArrayView waylandDisplay,
                                            const QList<QByteArray>& arguments);

// Whether the windows have nowhere to open: every platform that would be tried (the one asked for by
// QT_QPA_PLATFORM or -platform, a list separated by ";", or Qt's own choice when none was asked)
// needs a display that the environment does not name (xcb without DISPLAY; Qt's own choice without
// DISPLAY and without WAYLAND_DISPLAY). Qt would abort there; the program says why instead.
bool displayMissing(QByteArrayView qtQpaPlatform, QByteArrayView display, QByteArrayView waylandDisplay,
                    const QList<QByteArray>& arguments);

// For a command without windows, before its application object: the offscreen platform, which no
// display or platform option can stop. On Windows that platform reads its fonts from one folder: the
// system's own (%WINDIR%\Fonts) unless QT_QPA_FONTDIR names another.
void chooseOffscreenPlatform();
// After the application object exists: on Windows, Arial and Times New Roman stand for Liberation's
// faces of the same widths where the folder has only those, as fontconfig maps them on Linux.
void mapMetricCompatibleFaces();

// The two answers above for this process, from its environment. On Windows the windows always have
// somewhere to open and Qt's own choice stands: both say so.
std::optional<QByteArray> platformToRequestHere(const QList<QByteArray>& arguments);
bool displayMissingHere(const QList<QByteArray>& arguments);
