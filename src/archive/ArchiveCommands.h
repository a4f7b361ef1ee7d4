#pragma once

#include <QString>

class Form1;
class Form2;
struct Services;

// The archive operations of the palette: start-up, list, save, recall, delete.
class ArchiveCommands
{
public:
    ArchiveCommands(Form1& slip, Form2& palette, Services& services);

    void EnsureArchiveFile();
    void LoadArchiveList();
    void SaveCurrentSlip();
    void RecallSelectedRecord();
    void DeleteSelectedRecord();
    QString SelectedListIndex() const;

private:
    Form1& m_slip;
    Form2& m_palette;
    Services& m_services;
};
