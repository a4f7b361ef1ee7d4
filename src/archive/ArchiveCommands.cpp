#include "archive/ArchiveCommands.h"

#include "platform/Services.h"

ArchiveCommands::ArchiveCommands(Form1& slip, Form2& palette, Services& services)
    : m_slip(slip), m_palette(palette), m_services(services)
{
}

void ArchiveCommands::EnsureArchiveFile()
{
    if (m_services.archivePath)
        m_services.archivePath();
}
void ArchiveCommands::LoadArchiveList() {}
void ArchiveCommands::SaveCurrentSlip() {}
void ArchiveCommands::RecallSelectedRecord() {}
void ArchiveCommands::DeleteSelectedRecord() {}

QString ArchiveCommands::SelectedListIndex() const
{
    return {};
}
