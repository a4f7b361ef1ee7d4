#include "archive/ArchiveCommands.h"

ArchiveCommands::ArchiveCommands(Form1& slip, Form2& palette, Services& services)
    : m_slip(slip), m_palette(palette), m_services(services)
{
}

void ArchiveCommands::EnsureArchiveFile() {}
void ArchiveCommands::LoadArchiveList() {}
void ArchiveCommands::SaveCurrentSlip() {}
void ArchiveCommands::RecallSelectedRecord() {}
void ArchiveCommands::DeleteSelectedRecord() {}

QString ArchiveCommands::SelectedListIndex() const
{
    return {};
}
