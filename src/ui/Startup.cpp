// SPDX-License-Identifier: GPL-3.0-or-later

#include "ui/Startup.h"

#include "core/archive/ArchivePath.h"
#include "core/files/UserFolders.h"
#include "core/print/PrintFont.h"
#include "platform/MessageBoxes.h"
#include "ui/Form1.h"
#include "ui/Session.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QLibraryInfo>

Startup::Startup() : Startup(&systemArchivePath)
{
    m_archiveOfThisRun = true;
    m_services.copiesDirectory = &ArchiveCopiesDirectory;
}

Startup::Startup(std::function<QString()> archivePath)
    : m_services{m_messages, m_clock, m_printer, m_printDialogs, m_sheetDialogs, std::move(archivePath),
                 {},         {}}
{
}

Startup::~Startup() = default;

void Startup::start()
{
    // Everything the user reads is Italian, Qt's standard texts included where their translation is
    // installed.
    if (m_qtItalian.load(QStringLiteral("qtbase_it"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(&m_qtItalian);
    // Desktops match the windows to it.cedolario.Cedolario.desktop by this name (the Wayland app id).
    QGuiApplication::setDesktopFileName(QStringLiteral("it.cedolario.Cedolario"));
    m_session = std::make_unique<Session>(m_services);
    m_session->load();
    m_session->slip().show();
    if (m_archiveOfThisRun && !ArchiveLocationOfThisRun().notice.isEmpty())
        m_messages.inform(ArchiveLocationOfThisRun().notice);
    warnWithoutArialWidths(m_messages, ResolvedArialFamily());
    // Where earlier versions kept the archive (Windows' system folders), offered once to this run's
    // archive; the answer kept in the user's own folder.
    if (m_archiveOfThisRun) {
        const QString folder = userArchiveFolder();
        if (!folder.isEmpty())
            m_session->offerOldArchive(oldArchivePaths(),
                                       folder + QStringLiteral("/archivio-precedente.txt"));
    }
}

bool Startup::warnWithoutArialWidths(MessageBoxes& messages, const QString& resolvedFamily)
{
    if (IsArialMetricCompatible(resolvedFamily))
        return false;
    messages.inform(ArialMissingMessage(resolvedFamily));
    return true;
}

Form1& Startup::slip()
{
    return m_session->slip();
}

QString Startup::systemArchivePath()
{
    return ArchivePath();
}
