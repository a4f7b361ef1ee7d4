// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "core/archive/SlipRecord.h"
#include "core/sheet/SlipSheet.h"

#include <QList>
#include <QLocale>

#include <memory>

class ArchiveCommands;
struct Services;

// The commands of the palette's right-click menu for many slips at once, on plain values: a
// spreadsheet's slips reviewed, then stored, printed or saved as one PDF; the archive list (or what
// the search shows of it) exported as a spreadsheet; another archive merged into this one. Questions,
// files and progress go through Services; failures are told in Italian and store nothing.
class SheetCommands
{
public:
    explicit SheetCommands(Services& services);
    ~SheetCommands();

    // The archive object that stores and merges, with the wait and "Riprovare?" of every archive
    // command: the session's own. Unset, the commands make one of their own.
    void setArchiveCommands(ArchiveCommands& archive) { m_archive = &archive; }

    enum class Result { Done, Stopped, Failed };

    // "Importa da foglio di calcolo…": asks for the file, shows its good and refused rows, and does
    // what the user chooses with the good ones. Done when something was stored, printed or saved.
    // form: the slip on the form, whose fields fill those the sheet has no column for (a mail merge).
    Result importSheet(const SlipTexts& form = {});
    // "Esporta in foglio di calcolo…": the records, in their order, into a CSV file the user names.
    Result exportSheet(const QList<SlipRecord>& records);
    // "Importa archivio…": the records of another archive file that are not in this one yet.
    Result importArchive();
    // At the start of a run: the slips of an archive that an earlier version left at one of paths and
    // that the user's archive lacks, offered once. The answer is remembered in answerFile; while it
    // exists, nothing is looked for. Done when slips were brought in.
    Result offerOldArchive(const QStringList& paths, const QString& answerFile);

    // The good rows of a sheet, already reviewed: stored, printed or saved.
    // skipped, similar: the sheet's slips left out as stored already or almost, told beside the count.
    Result storeSlips(const QList<SheetSlip>& slips, qsizetype skipped = 0, qsizetype similar = 0);
    Result printSlips(const QList<SheetSlip>& slips);
    Result saveSlipsAsPdf(const QList<SheetSlip>& slips);

    // The language of the saved dates and of the month names read back besides Italian.
    void setLocale(const QLocale& locale) { m_locale = locale; }

private:
    ArchiveCommands& archive();

    Services& m_services;
    QLocale m_locale = QLocale::system();
    ArchiveCommands* m_archive = nullptr;
    std::unique_ptr<ArchiveCommands> m_ownArchive;
};
