// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "core/slip/Clock.h"
#include "platform/PrintDialogs.h"
#include "platform/QtMessageBoxes.h"
#include "platform/SaveFileDialog.h"
#include "platform/Services.h"
#include "platform/SheetDialogs.h"
#include "platform/SystemPrinter.h"

#include <QString>
#include <QTranslator>

#include <functional>
#include <memory>

class Form1;
class MessageBoxes;
class Session;

// What main() starts: the real platform services, the one Services built from them, and the session
// whose slip form is loaded and shown as the first window. The start-up benchmark starts the application
// through this same class.
class Startup
{
public:
    // The archive of this run (ArchivePath.h): per-user, or the shared one when it is safe. When a
    // shared directory was found unsafe, the user is told once, after the windows are up.
    Startup();
    // The archive at the given path, with nothing said about the shared one.
    explicit Startup(std::function<QString()> archivePath);
    ~Startup();

    // Puts Qt's own texts (context menus, file dialog) in Italian, names the desktop entry the windows
    // belong to, then loads the session and shows the slip form.
    void start();
    Session& session() { return *m_session; }
    Form1& slip();

    static QString systemArchivePath();
    // Tells the user once, before anything is printed, when "Arial" resolved to a face without
    // Arial's widths (resolvedFamily), and which package brings one. True when it told.
    static bool warnWithoutArialWidths(MessageBoxes& messages, const QString& resolvedFamily);

private:
    QTranslator m_qtItalian;
    QtMessageBoxes m_messages;
    SystemClock m_clock;
    QtSaveFileDialog m_saveDialog;
    SystemPrinter m_printer{m_saveDialog};
    QtPrintDialogs m_printDialogs;
    QtSheetDialogs m_sheetDialogs;
    Services m_services;
    std::unique_ptr<Session> m_session;
    bool m_archiveOfThisRun = false;
};
