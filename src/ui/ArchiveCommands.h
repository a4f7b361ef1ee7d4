#pragma once

#include "core/archive/SlipRecord.h"

#include <QLocale>
#include <QString>

class Form1;
class Form2;
struct Services;

// The archive operations of the palette: start-up, list, save, recall, delete. The table holds the
// records of the last list load; list entry i stands for record i. Failures are shown in Italian
// message boxes and leave the file as it was.
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

    const ArchiveTable& table() const { return m_table; }
    qsizetype RecordCount() const { return m_table.size(); }

    // The language of the saved dates and of the month names read back besides Italian.
    void setLocale(const QLocale& locale) { m_locale = locale; }

private:
    QString archivePath() const;

    Form1& m_slip;
    Form2& m_palette;
    Services& m_services;
    ArchiveTable m_table;
    QLocale m_locale = QLocale::system();
};
