#include "ui/Startup.h"

#include "core/archive/ArchivePath.h"
#include "ui/Form1.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QLibraryInfo>

Startup::Startup(std::function<QString()> archivePath)
{
    m_services.messages = &m_messages;
    m_services.clock = &m_clock;
    m_services.printer = &m_printer;
    m_services.archivePath = std::move(archivePath);
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
    m_slip = std::make_unique<Form1>(m_services);
    m_slip->load();
    m_slip->show();
}

QString Startup::systemArchivePath()
{
    return ArchivePath();
}
