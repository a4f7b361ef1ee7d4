// SPDX-License-Identifier: GPL-3.0-or-later

#include "ui/ArchiveCommands.h"
#include "AppHarness.h"
#include "FailureCompare.h"
#include "FileBytes.h"
#include "FileSizeLimit.h"
#include "HeldArchiveLock.h"
#include "ui/PictureButton.h"

#include "ui/ArchiveList.h"

#include <QAccessible>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListView>

#include <QRadioButton>

using namespace Qt::StringLiterals;

namespace {

const QByteArray Marker("?*@1\xE7*^\r\n");

// Records as the save and as the deletion write them.
const QByteArray Rossi =
    Marker + "07 dicembre 2026\r\n Rossi Mario\r\n Via Roma 1\r\n 00100\r\n Roma\r\n 1234,5\r\n"
             " milleduecentotrentaquattro/50\r\n Ente Acque\r\n \r\n \r\n 12345678\r\n Bolletta\r\n"
             " 896\r\n True\r\n False\r\n 0\r\n";
const QByteArray Bianchi = Marker +
                           "05 gennaio 2027\r\nBianchi Anna\r\nCorso Italia 2\r\n20100\r\nMilano\r\n15,00\r\n"
                           "quindici/00\r\nComune\r\nUfficio Tributi\r\n\r\n1000\r\nTassa\r\n123\r\nFalse\r\n"
                           "True\r\n2\r\n";
const QByteArray Verdi =
    Marker + "ieri\r\nVerdi\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\nforse\r\nmai\r\n7\r\n";
const QByteArray RossiRewritten =
    Marker + "07 dicembre 2026\r\nRossi Mario\r\nVia Roma 1\r\n00100\r\nRoma\r\n1234,5\r\n"
             "milleduecentotrentaquattro/50\r\nEnte "
             "Acque\r\n\r\n\r\n12345678\r\nBolletta\r\n896\r\nTrue\r\nFalse\r\n0\r\n";

void select(Form2& palette, int row)
{
    palette.List1->setRowSelected(row, true);
}

SlipTexts sampleSlip()
{
    return {u"Rossi Mario"_s, u"Via Roma 1"_s, u"00100"_s,
            u"Roma"_s,        u"1234,50"_s,    u"milleduecentotrentaquattro/50"_s,
            u"Ente Acque"_s,  QString(),       QString(),
            u"12345678"_s,    u"Bolletta"_s,   u"123"_s};
}

using Shown = ScriptedMessageBoxes::Shown;

} // namespace

class ArchiveCommandsTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void startUpCreatesAnEmptyArchive();
    void startUpListsTheRecords();
    void startUpLeavesAnotherNameAlone();
    void saves_data();
    void saves();
    void saveAddsItsEntryOrLoadsAgain_data();
    void saveAddsItsEntryOrLoadsAgain();
    void savingEmptyFieldsStoresSpaces();
    void saveRefusesWhatTheArchiveCannotHold();
    void saveFailures_data();
    void saveFailures();
    void recallsAsStored_data();
    void recallsAsStored();
    void recallWithoutSelectionDoesNothing();
    void recallWritesLongTextsWhole();
    void deletes_data();
    void deletes();
    void twinEntriesAreToldApart();
    void deleteWithoutSelectionAsksNothing();
    void deleteSeesAnotherCopysChange();
    void deleteOnAFullDiskKeepsTheRecord();
    void selectedListIndex();
    void listsManyRecords();
    void listIsWalkedAsAList();
    void screenReaderFindsAList();
    void heldLockAsksWhetherToTryAgain_data();
    void heldLockAsksWhetherToTryAgain();
    void noThreadIsAFailureTold();
};

void ArchiveCommandsTest::startUpCreatesAnEmptyArchive()
{
    AppHarness app;
    const QString path = app.services.archivePath();
    QVERIFY(!QFile::exists(path));
    app.start();
    QCOMPARE(contents(path), QByteArray());
    QCOMPARE(app.palette().List1->count(), 0);
    QCOMPARE(app.palette().Label4->text(), u"Record: 0"_s);
    QVERIFY(app.messages.shown.isEmpty());
}

void ArchiveCommandsTest::startUpListsTheRecords()
{
    AppHarness app;
    write(app.services.archivePath(), "vecchia intestazione\r\n" + Rossi + Bianchi + Verdi);
    app.start();
    QCOMPARE(listEntries(app.palette()),
             QStringList({u"07/12/2026 - Rossi Mario"_s, u"05/01/2027 - Bianchi Anna"_s, u"ieri - Verdi"_s}));
    QCOMPARE(app.palette().Label4->text(), u"Record: 3"_s);
    QCOMPARE(app.archive().RecordCount(), 3);
}

void ArchiveCommandsTest::startUpLeavesAnotherNameAlone()
{
    // On this system names differ by case: a file named in capitals is another file, left as it is.
#ifdef Q_OS_WIN
    QSKIP("on Windows FILLCP.DLL and fillcp.dll are one file");
#endif
    AppHarness app;
    const QString capitals = app.directory.filePath(u"FILLCP.DLL"_s);
    write(capitals, Rossi);
    app.start();
    QCOMPARE(contents(capitals), Rossi);
    QCOMPARE(contents(app.services.archivePath()), QByteArray());
}

void ArchiveCommandsTest::saves_data()
{
    QTest::addColumn<bool>("answer");
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QStringList>("list");
    QTest::addColumn<QStringList>("messages");

    QTest::newRow("yes")
        << true
        << Bianchi + Marker +
               "07 dicembre 2026\r\n Rossi Mario\r\n Via Roma 1\r\n 00100\r\n Roma\r\n 1234,50\r\n"
               " milleduecentotrentaquattro/50\r\n Ente Acque\r\n \r\n \r\n 12345678\r\n Bolletta\r\n"
               " 123\r\n False\r\n True\r\n 1\r\n"
        << QStringList({u"05/01/2027 - Bianchi Anna"_s, u"07/12/2026 - Rossi Mario"_s})
        << QStringList({u"Vuoi salvare i dati Stampati ?"_s, u"Dati Salvati !!!"_s});
    QTest::newRow("no") << false << Bianchi << QStringList({u"05/01/2027 - Bianchi Anna"_s})
                        << QStringList({u"Vuoi salvare i dati Stampati ?"_s});
}

void ArchiveCommandsTest::saves()
{
    QFETCH(bool, answer);
    QFETCH(QByteArray, file);
    QFETCH(QStringList, list);
    QFETCH(QStringList, messages);
    AppHarness app;
    write(app.services.archivePath(), Bianchi);
    app.start();
    app.archive().setLocale(QLocale(QLocale::Italian, QLocale::Italy));
    app.form->setFields(sampleSlip());
    app.messages.answers = {answer};

    clickButton(app.palette(), Form2::SaveButton);

    QCOMPARE(app.messages.texts(), messages);
    if (answer) {
        QCOMPARE(app.messages.shown[0].kind, Shown::Question);
        QCOMPARE(app.messages.shown[1].kind, Shown::Information);
    }
    QCOMPARE(contents(app.services.archivePath()), file);
    QCOMPARE(listEntries(app.palette()), list);
    QCOMPARE(app.palette().Label4->text(), u"Record: %1"_s.arg(list.size()));
}

// What happens to the file between the list load and the save.
enum class Meanwhile { Nothing, AnotherCopySaves, AKilledSaveLeftItsJournal };

void ArchiveCommandsTest::saveAddsItsEntryOrLoadsAgain_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("meanwhile");
    QTest::addColumn<bool>("answer");
    QTest::addColumn<QStringList>("list");
    // Whether the list kept its selected entry: only a load made anew loses it.
    QTest::addColumn<bool>("selectionKept");

    const QString bianchi = u"05/01/2027 - Bianchi Anna"_s;
    const QString rossi = u"07/12/2026 - Rossi Mario"_s;
    const QString verdi = u"ieri - Verdi"_s;
    QTest::newRow("clean end: one entry added")
        << Bianchi << int(Meanwhile::Nothing) << true << QStringList({bianchi, rossi}) << true;
    QTest::newRow("no end of line after the last value: loaded again")
        << Bianchi.chopped(2) << int(Meanwhile::Nothing) << true << QStringList({bianchi, rossi}) << false;
    QTest::newRow("record cut short at the end: loaded again")
        << Bianchi + Marker + "08 gennaio 2027\r\nNeri\r\n"
        << int(Meanwhile::Nothing) << true << QStringList({bianchi, u"08/01/2027 - Neri"_s, rossi}) << false;
    QTest::newRow("odd bytes after the last record: one entry added")
        << Bianchi + "\r\n  \r\nnota a mano\r\n"
        << int(Meanwhile::Nothing) << true << QStringList({bianchi, rossi}) << true;
    QTest::newRow("another copy saved meanwhile: loaded again")
        << Bianchi << int(Meanwhile::AnotherCopySaves) << true << QStringList({bianchi, verdi, rossi})
        << false;
    QTest::newRow("a killed save's journal rolled back: one entry added")
        << Bianchi << int(Meanwhile::AKilledSaveLeftItsJournal) << true << QStringList({bianchi, rossi})
        << true;
    QTest::newRow("no: the list is not loaded again")
        << Bianchi << int(Meanwhile::AnotherCopySaves) << false << QStringList({bianchi}) << true;
}

void ArchiveCommandsTest::saveAddsItsEntryOrLoadsAgain()
{
    QFETCH(QByteArray, file);
    QFETCH(int, meanwhile);
    QFETCH(bool, answer);
    QFETCH(QStringList, list);
    QFETCH(bool, selectionKept);
    AppHarness app;
    const QString path = app.services.archivePath();
    write(path, file);
    app.start();
    app.archive().setLocale(QLocale(QLocale::Italian, QLocale::Italy));
    select(app.palette(), 0);
    QByteArray expectedFile = file;
    switch (Meanwhile(meanwhile)) {
    case Meanwhile::Nothing:
        break;
    case Meanwhile::AnotherCopySaves: {
        QCOMPARE(SlipArchive(path).append(Verdi), Failure());
        expectedFile += Verdi;
        break;
    }
    case Meanwhile::AKilledSaveLeftItsJournal: {
        SlipArchive killed(path);
        killed.setInterruptAfter(40);
        QCOMPARE(killed.append(Verdi).kind(), Failure::Kind::Failed);
        QCOMPARE(contents(path), file + Verdi.left(40));
        break;
    }
    }
    app.form->setFields(sampleSlip());
    app.messages.answers = {answer};

    clickButton(app.palette(), Form2::SaveButton);

    if (answer)
        expectedFile = (file.endsWith('\n') ? expectedFile : expectedFile + "\r\n") + Marker +
                       "07 dicembre 2026\r\n Rossi Mario\r\n Via Roma 1\r\n 00100\r\n Roma\r\n 1234,50\r\n"
                       " milleduecentotrentaquattro/50\r\n Ente Acque\r\n \r\n \r\n 12345678\r\n Bolletta\r\n"
                       " 123\r\n False\r\n True\r\n 1\r\n";
    if (file.contains("Neri"))
        expectedFile =
            file + "\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n" + expectedFile.mid(file.size());
    QCOMPARE(contents(path), expectedFile);
    QVERIFY(!QFile::exists(path + u".journal"_s));
    QCOMPARE(listEntries(app.palette()), list);
    QCOMPARE(app.palette().Label4->text(), u"Record: %1"_s.arg(list.size()));
    QCOMPARE(app.palette().List1->selectionModel()->isRowSelected(0), selectionKept);
    // After a save, what the list holds is what the file now reads as, record for record.
    if (answer) {
        ArchiveTable loaded;
        QCOMPARE(SlipArchive(path).load(loaded), Failure());
        QCOMPARE(app.archive().table(), loaded);
    }
}

void ArchiveCommandsTest::savingEmptyFieldsStoresSpaces()
{
    AppHarness app;
    app.clock.date = QDate(2027, 3, 1);
    app.start();
    app.archive().setLocale(QLocale(QLocale::Italian, QLocale::Italy));
    app.form->setFields(SlipTexts{});
    app.palette().setPaletteState(PaletteState{true, false, CheckBoxState::Greyed});
    app.messages.answers = {true};
    clickButton(app.palette(), Form2::SaveButton);
    QCOMPARE(contents(app.services.archivePath()),
             Marker + "01 marzo 2027\r\n \r\n \r\n \r\n \r\n \r\n \r\n \r\n \r\n \r\n \r\n \r\n \r\n "
                      "True\r\n False\r\n 2\r\n");
    QCOMPARE(listEntries(app.palette()), QStringList({u"01/03/2027 - "_s}));
}

void ArchiveCommandsTest::saveRefusesWhatTheArchiveCannotHold()
{
    AppHarness app;
    write(app.services.archivePath(), Bianchi);
    app.start();
    SlipTexts slip = sampleSlip();
    slip[PaymentReason] = u"Quota ☺"_s;
    app.form->setFields(slip);
    app.messages.answers = {true};
    clickButton(app.palette(), Form2::SaveButton);
    QCOMPARE(
        app.messages.texts(),
        QStringList({u"Vuoi salvare i dati Stampati ?"_s,
                     u"Il carattere «☺» (U+263A) del campo «CAUSALE» non può essere salvato nell'archivio.\n"
                     u"Correggere il campo e salvare di nuovo: nulla è stato salvato."_s}));
    QCOMPARE(app.messages.shown[1].kind, Shown::Critical);
    QCOMPARE(contents(app.services.archivePath()), Bianchi);
    QCOMPARE(app.form->fieldText(PaymentReason), u"Quota ☺"_s);
}

void ArchiveCommandsTest::saveFailures_data()
{
    QTest::addColumn<bool>("fullDisk"); // otherwise the directory cannot exist
    QTest::newRow("disk full") << true;
    QTest::newRow("missing directory") << false;
}

void ArchiveCommandsTest::saveFailures()
{
    QFETCH(bool, fullDisk);
    if (fullDisk)
        SKIP_WITHOUT_FILE_SIZE_LIMIT();
    AppHarness app;
    const QString path = fullDisk ? app.services.archivePath() : app.directory.filePath(u"file/fillcp.dll"_s);
    write(app.directory.filePath(u"file"_s), "a file where the directory should be");
    if (fullDisk)
        write(path, Bianchi);
    app.services.archivePath = [path] { return path; };
    app.start();
    app.form->setFields(sampleSlip());
    app.messages.answers = {true};
    {
        FileSizeLimit limit(fullDisk ? Bianchi.size() + 10 : FileSizeLimit::Unlimited);
        clickButton(app.palette(), Form2::SaveButton);
    }
    // A directory that cannot exist is also reported by each list load, before and after the save.
    const qsizetype save = fullDisk ? 1 : 2;
    QCOMPARE(app.messages.shown.size(), fullDisk ? 2 : 4);
    QCOMPARE(app.messages.shown[save].kind, Shown::Critical);
    QVERIFY2(app.messages.shown[save].text.startsWith(u"Impossibile scrivere nell'archivio "_s + path),
             qPrintable(app.messages.shown[save].text));
    QVERIFY(!app.messages.texts().contains(u"Dati Salvati !!!"_s));
    QCOMPARE(contents(path), fullDisk ? Bianchi : QByteArray("<missing>"));
}

void ArchiveCommandsTest::recallsAsStored_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<QStringList>("fields");
    QTest::addColumn<PaletteState>("state");
    // The code-line previews of amount, account and document type, as the printed line will have them.
    QTest::addColumn<QStringList>("previews");

    QTest::newRow("saved shape, amount as stored")
        << 0
        << QStringList({u"Rossi Mario"_s, u"Via Roma 1"_s, u"00100"_s, u"Roma"_s, u"1234,5"_s,
                        u"milleduecentotrentaquattro/50"_s, u"Ente Acque"_s, QString(), QString(),
                        u"12345678"_s, u"Bolletta"_s, u"896"_s})
        << PaletteState{true, false, CheckBoxState::Unticked}
        << QStringList({u"00001234+5>"_s, u"12345678<"_s, u"896>"_s});
    QTest::newRow("rewritten shape, greyed check box")
        << 1
        << QStringList({u"Bianchi Anna"_s, u"Corso Italia 2"_s, u"20100"_s, u"Milano"_s, u"15,00"_s,
                        u"quindici/00"_s, u"Comune"_s, u"Ufficio Tributi"_s, QString(), u"1000"_s, u"Tassa"_s,
                        u"123"_s})
        << PaletteState{false, true, CheckBoxState::Greyed}
        << QStringList({u"00000015+00>"_s, u"00001000<"_s, u"123>"_s});
    QTest::newRow("unreadable states take the start-up ones")
        << 2
        << QStringList({u"Verdi"_s, QString(), QString(), QString(), QString(), QString(), QString(),
                        QString(), QString(), QString(), QString(), QString()})
        << PaletteState{false, true, CheckBoxState::Ticked}
        << QStringList({QString(), u"00000000<"_s, u">"_s});
}

void ArchiveCommandsTest::recallsAsStored()
{
    QFETCH(int, row);
    QFETCH(QStringList, fields);
    QFETCH(PaletteState, state);
    QFETCH(QStringList, previews);
    AppHarness app;
    write(app.services.archivePath(), Rossi + Bianchi + Verdi);
    app.start();
    // Every field holds something that the recall must replace, empty values included.
    SlipTexts before;
    before.fill(u"vecchio"_s);
    app.form->setFields(before);
    app.palette().setPaletteState(PaletteState{true, false, CheckBoxState::Unticked});
    // Previews of another slip, left by the rules of leaving its fields.
    app.form->Label15->setText(u"00000099+90>"_s);
    app.form->Label14->setText(u"87654321<"_s);
    app.form->Label12->setText(u"451>"_s);
    select(app.palette(), row);

    clickButton(app.palette(), Form2::RecallButton);

    const SlipTexts after = app.form->fields();
    QCOMPARE(QStringList(after.begin(), after.end()), fields);
    QCOMPARE(app.palette().paletteState(), state);
    QCOMPARE(QStringList({app.form->Label15->text(), app.form->Label14->text(), app.form->Label12->text()}),
             previews);
    QVERIFY(app.messages.shown.isEmpty());
    QCOMPARE(contents(app.services.archivePath()), Rossi + Bianchi + Verdi);
}

void ArchiveCommandsTest::recallWithoutSelectionDoesNothing()
{
    AppHarness app;
    write(app.services.archivePath(), Rossi + Bianchi);
    app.start();
    app.form->setFields(sampleSlip());
    app.palette().List1->setCurrentRow(1, QItemSelectionModel::NoUpdate);
    clickButton(app.palette(), Form2::RecallButton);
    QCOMPARE(app.form->fields(), sampleSlip());
    QCOMPARE(app.palette().paletteState(), (PaletteState{false, true, CheckBoxState::Ticked}));
    QVERIFY(app.messages.shown.isEmpty());
}

void ArchiveCommandsTest::deletes_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<bool>("answer");
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QStringList>("list");

    QTest::newRow("first of three") << 0 << true << Bianchi + Verdi
                                    << QStringList({u"05/01/2027 - Bianchi Anna"_s, u"ieri - Verdi"_s});
    QTest::newRow("last of three") << 2 << true << RossiRewritten + Bianchi
                                   << QStringList(
                                          {u"07/12/2026 - Rossi Mario"_s, u"05/01/2027 - Bianchi Anna"_s});
    QTest::newRow("answered no") << 1 << false << Rossi + Bianchi + Verdi
                                 << QStringList({u"07/12/2026 - Rossi Mario"_s,
                                                 u"05/01/2027 - Bianchi Anna"_s, u"ieri - Verdi"_s});
}

void ArchiveCommandsTest::deletes()
{
    QFETCH(int, row);
    QFETCH(bool, answer);
    QFETCH(QByteArray, file);
    QFETCH(QStringList, list);
    AppHarness app;
    write(app.services.archivePath(), Rossi + Bianchi + Verdi);
    app.start();
    select(app.palette(), row);
    app.messages.answers = {answer};

    clickButton(app.palette(), Form2::DeleteButton);

    // The second line tells which slip goes: entries can read alike.
    const QStringList slips({u"07/12/2026 - Rossi Mario, 1234,5 euro"_s,
                             u"05/01/2027 - Bianchi Anna, 15,00 euro"_s, u"ieri - Verdi"_s});
    QCOMPARE(app.messages.texts(), QStringList({u"Vuoi procedere con la cancellazione ?\n"_s + slips[row]}));
    QCOMPARE(contents(app.services.archivePath()), file);
    QCOMPARE(listEntries(app.palette()), list);
    QCOMPARE(app.palette().Label4->text(), u"Record: %1"_s.arg(list.size()));
}

// Two saves of one day for one payer read alike in the list: the tool tip and the delete question
// tell them apart by amount, payee and reason.
void ArchiveCommandsTest::twinEntriesAreToldApart()
{
    const QByteArray twin1 = Marker + "05 marzo 2026\r\nZeno Zanetti\r\n\r\n\r\n\r\n35,00\r\n"
                                      "trentacinque/00\r\nCircolo Tennis\r\nSezione Juniores\r\n\r\n1000\r\n"
                                      "Quota marzo\r\n123\r\nFalse\r\nTrue\r\n1\r\n";
    const QByteArray twin2 = Marker +
                             "05 marzo 2026\r\nZeno Zanetti\r\n\r\n\r\n\r\n12,50\r\n"
                             "dodici/50\r\nComune\r\n\r\n\r\n2000\r\n\r\n123\r\nFalse\r\nTrue\r\n1\r\n";
    const QByteArray bare = Marker + "05 marzo 2026\r\nZeno Zanetti\r\n" + QByteArray("\r\n").repeated(14);
    AppHarness app;
    write(app.services.archivePath(), twin1 + twin2 + bare);
    app.start();
    QCOMPARE(listEntries(app.palette()),
             QStringList({u"05/03/2026 - Zeno Zanetti"_s, u"05/03/2026 - Zeno Zanetti"_s,
                          u"05/03/2026 - Zeno Zanetti"_s}));
    const QAbstractItemModel& model = *app.palette().List1->model();
    const auto toolTip = [&model](int row) {
        return model.data(model.index(row, 0), Qt::ToolTipRole).toString();
    };
    QCOMPARE(toolTip(0),
             u"Importo: 35,00 euro\nIntestato a: Circolo Tennis, Sezione Juniores\nCausale: Quota marzo"_s);
    QCOMPARE(toolTip(1), u"Importo: 12,50 euro\nIntestato a: Comune"_s);
    QCOMPARE(toolTip(2), QString());

    select(app.palette(), 1);
    app.messages.answers = {false};
    clickButton(app.palette(), Form2::DeleteButton);
    QCOMPARE(
        app.messages.texts(),
        QStringList({u"Vuoi procedere con la cancellazione ?\n05/03/2026 - Zeno Zanetti, 12,50 euro"_s}));
    QCOMPARE(contents(app.services.archivePath()), twin1 + twin2 + bare);
}

void ArchiveCommandsTest::deleteWithoutSelectionAsksNothing()
{
    AppHarness app;
    write(app.services.archivePath(), Rossi);
    app.start();
    clickButton(app.palette(), Form2::DeleteButton);
    QVERIFY(app.messages.shown.isEmpty());
    QCOMPARE(contents(app.services.archivePath()), Rossi);
    QCOMPARE(app.palette().List1->count(), 1);
    QCOMPARE(app.palette().SelectedListIndex(), std::optional<qsizetype>());
}

void ArchiveCommandsTest::deleteSeesAnotherCopysChange()
{
    AppHarness app;
    const QString path = app.services.archivePath();
    write(path, Rossi + Bianchi);
    app.start();
    select(app.palette(), 1);
    // Another copy deletes the first record after this list was loaded: the selected one moves up.
    write(path, Bianchi);
    app.messages.answers = {true};

    clickButton(app.palette(), Form2::DeleteButton);

    QCOMPARE(contents(path), Bianchi);
    QCOMPARE(app.messages.shown.size(), 2);
    QCOMPARE(app.messages.shown[1].kind, Shown::Information);
    QCOMPARE(
        app.messages.shown[1].text,
        u"L'archivio %1 è stato cambiato da un'altra copia del programma: la scheda scelta non è più al suo "
        u"posto e non è stata cancellata.\nL'elenco viene aggiornato: sceglierla di nuovo."_s.arg(path));
    QCOMPARE(listEntries(app.palette()), QStringList({u"05/01/2027 - Bianchi Anna"_s}));
    QCOMPARE(app.palette().Label4->text(), u"Record: 1"_s);
}

void ArchiveCommandsTest::deleteOnAFullDiskKeepsTheRecord()
{
    SKIP_WITHOUT_FILE_SIZE_LIMIT();
    AppHarness app;
    QByteArray many;
    for (int i = 0; i < 10; ++i)
        many += Rossi;
    write(app.services.archivePath(), many);
    app.start();
    select(app.palette(), 4);
    app.messages.answers = {true};
    {
        FileSizeLimit limit(256);
        clickButton(app.palette(), Form2::DeleteButton);
    }
    QCOMPARE(app.messages.shown.size(), 2);
    QCOMPARE(app.messages.shown[1].kind, Shown::Critical);
    QVERIFY2(app.messages.shown[1].text.startsWith(u"Impossibile riscrivere l'archivio "_s +
                                                   app.services.archivePath()),
             qPrintable(app.messages.shown[1].text));
    QCOMPARE(contents(app.services.archivePath()), many);
    QCOMPARE(app.palette().List1->count(), 10);
}

void ArchiveCommandsTest::selectedListIndex()
{
    AppHarness app;
    app.start();
    const Form2& palette = app.palette();
    using Index = std::optional<qsizetype>;
    QCOMPARE(palette.SelectedListIndex(), Index());
    write(app.services.archivePath(), Rossi + Bianchi + Verdi);
    app.session->reloadArchiveList();
    QCOMPARE(palette.SelectedListIndex(), Index());
    select(app.palette(), 2);
    QCOMPARE(palette.SelectedListIndex(), Index(2));
    select(app.palette(), 0);
    QCOMPARE(palette.SelectedListIndex(), Index(0));
    app.session->reloadArchiveList();
    QCOMPARE(palette.SelectedListIndex(), Index());
}

void ArchiveCommandsTest::recallWritesLongTextsWhole()
{
    // Longer than QLineEdit's 32767 characters, and a postcode longer than the five digits one may type.
    const QByteArray reason = QByteArray(39990, 'r') + "fine causa";
    const QByteArray record = Marker +
                              "07 dicembre 2026\r\nRossi\r\nVia Roma 1\r\n1234567\r\nRoma\r\n1,00\r\n"
                              "uno/00\r\nEnte\r\n\r\n\r\n1000\r\n" +
                              reason + "\r\n123\r\nFalse\r\nTrue\r\n1\r\n";
    AppHarness app;
    write(app.services.archivePath(), record);
    app.start();
    select(app.palette(), 0);
    clickButton(app.palette(), Form2::RecallButton);
    QCOMPARE(app.form->fieldText(PaymentReason).size(), 40000);
    QVERIFY(app.form->fieldText(PaymentReason).endsWith(u"rfine causa"_s));
    QCOMPARE(app.form->fieldText(PayerPostcode), u"1234567"_s);

    // Saved again, the texts are stored whole.
    app.messages.answers = {true};
    clickButton(app.palette(), Form2::SaveButton);
    QCOMPARE(app.messages.texts().last(), u"Dati Salvati !!!"_s);
    const QByteArray saved = contents(app.services.archivePath()).mid(record.size());
    QVERIFY(saved.contains("\r\n 1234567\r\n"));
    QVERIFY(saved.contains("\r\n " + reason + "\r\n"));

    // Typing still stops at five digits once the form holds a short postcode again.
    app.form->setFieldText(PayerPostcode, QString());
    QLineEdit* postcode = app.form->Text1[PayerPostcode];
    postcode->setFocus();
    QTest::keyClicks(postcode, u"12345678"_s);
    QCOMPARE(postcode->text(), u"12345"_s);
}

void ArchiveCommandsTest::heldLockAsksWhetherToTryAgain_data()
{
    QTest::addColumn<bool>("deleting");
    QTest::newRow("save") << false;
    QTest::newRow("delete") << true;
}

void ArchiveCommandsTest::heldLockAsksWhetherToTryAgain()
{
    QFETCH(bool, deleting);
    AppHarness app;
    const QString path = app.services.archivePath();
    write(path, Bianchi);
    app.start();
    app.archive().setLockTimeout(50);
    // Another copy holds the lock.
    HeldArchiveLock other(path);
    QVERIFY(other.held());

    const QString question =
        deleting ? u"Vuoi procedere con la cancellazione ?\n05/01/2027 - Bianchi Anna, 15,00 euro"_s
                 : u"Vuoi salvare i dati Stampati ?"_s;
    const QString busy = u"L'archivio %1 è in uso da un'altra copia del programma.\nRiprovare?"_s.arg(path);
    const auto command = [&] {
        if (deleting)
            select(app.palette(), 0);
        clickButton(app.palette(), deleting ? Form2::DeleteButton : Form2::SaveButton);
    };
    // Tried again once, then given up: nothing is done and nothing more is said.
    app.messages.answers = {true, true, false};
    command();
    QCOMPARE(app.messages.texts(), QStringList({question, busy, busy}));
    QCOMPARE(contents(path), Bianchi);

    // Free again: the next attempt goes through.
    other.release();
    app.messages.shown.clear();
    app.messages.answers = {true};
    command();
    QCOMPARE(app.palette().Label4->text(), deleting ? u"Record: 0"_s : u"Record: 2"_s);
    QCOMPARE(app.messages.texts(),
             deleting ? QStringList({question}) : QStringList({question, u"Dati Salvati !!!"_s}));
}

void ArchiveCommandsTest::listsManyRecords()
{
    AppHarness app;
    QByteArray many;
    for (int i = 0; i < 1500; ++i)
        many += Bianchi;
    write(app.services.archivePath(), many);
    app.start();
    QCOMPARE(app.palette().List1->count(), 1500);
    QCOMPARE(app.palette().Label4->text(), u"Record: 1500"_s);
    select(app.palette(), 1499);
    app.messages.answers = {true};
    clickButton(app.palette(), Form2::DeleteButton);
    QCOMPARE(app.palette().Label4->text(), u"Record: 1499"_s);
    QCOMPARE(contents(app.services.archivePath()).size(), 1499 * Bianchi.size());
}

// The list is a table of one column underneath: it must still look and be walked as a list, one line
// per entry, the arrows, Home and End moving between entries and Tab leaving it.
void ArchiveCommandsTest::listIsWalkedAsAList()
{
    AppHarness app;
    QByteArray many;
    for (int i = 0; i < 60; ++i)
        many += i % 2 ? Rossi : Bianchi;
    write(app.services.archivePath(), many);
    app.start();
    Form2& palette = app.palette();
    ArchiveList& list = *palette.List1;

    // Each entry as tall as a list view makes it in the same font, not a table's default row.
    QListView reference;
    reference.setFont(list.font());
    reference.setModel(list.model());
    QCOMPARE(list.rowHeight(0), reference.sizeHintForRow(0));
    QCOMPARE(list.rowHeight(59), list.rowHeight(0));
    QVERIFY(list.viewport()->width() - list.columnWidth(0) <= 1);

    list.setFocus(Qt::TabFocusReason);
    list.setCurrentRow(5);
    const auto press = [&](Qt::Key key) {
        QTest::keyClick(&list, key);
        return list.currentRow();
    };
    QCOMPARE(press(Qt::Key_Down), 6);
    QCOMPARE(press(Qt::Key_Up), 5);
    QCOMPARE(press(Qt::Key_End), 59);
    QCOMPARE(list.selectionModel()->selectedRows(), QModelIndexList{list.model()->index(59, 0)});
    QCOMPARE(press(Qt::Key_Home), 0);
    QCOMPARE(press(Qt::Key_Right), 0);
    QVERIFY(press(Qt::Key_PageDown) > 1);
    QCOMPARE(press(Qt::Key_Home), 0);
    QCOMPARE(list.selectionModel()->selectedRows().size(), 1);

    QTest::keyClick(&list, Qt::Key_Tab);
    QCOMPARE(palette.focusWidget(), palette.Image2[Form2::RecallButton]);
    QCOMPARE(list.currentRow(), 0);
}

// A screen reader finds a list of entries named by their texts, and never reads an entry of a list
// loaded before.
void ArchiveCommandsTest::screenReaderFindsAList()
{
    AppHarness app;
    write(app.services.archivePath(), Rossi + Bianchi + Rossi);
    app.start();
    ArchiveList& list = *app.palette().List1;
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(&list);
    QVERIFY(accessible);
    QCOMPARE(accessible->role(), QAccessible::List);
    QCOMPARE(accessible->text(QAccessible::Name), u"Archivio Conti Correnti"_s);
    QCOMPARE(accessible->childCount(), 3);
    QAccessibleInterface* second = accessible->child(1);
    QVERIFY(second);
    QCOMPARE(second->role(), QAccessible::ListItem);
    QCOMPARE(second->text(QAccessible::Name), u"05/01/2027 - Bianchi Anna"_s);
    QVERIFY(second->text(QAccessible::Description).contains(u"15,00"_s));
    QCOMPARE(accessible->indexOfChild(second), 1);
    QCOMPARE(second->parent(), accessible);
    QCOMPARE(accessible->child(1), second);
    QVERIFY(!accessible->child(3));

    list.setCurrentRow(1);
    QVERIFY(second->state().selected);
    QVERIFY(!accessible->child(2)->state().selected);

    // Loaded again with one record: the items made for the old list are gone.
    const QAccessible::Id secondId = QAccessible::uniqueId(second);
    write(app.services.archivePath(), Verdi);
    QAccessible::setActive(true);
    app.session->reloadArchiveList();
    QAccessible::setActive(false);
    QVERIFY(!QAccessible::accessibleInterface(secondId));
    QCOMPARE(accessible->childCount(), 1);
    QCOMPARE(accessible->child(0)->text(QAccessible::Name), u"ieri - Verdi"_s);
}

void ArchiveCommandsTest::noThreadIsAFailureTold()
{
    AppHarness app;
    const QString path = app.services.archivePath();
    write(path, Bianchi);
    app.start();
    app.form->setFields(sampleSlip());
    app.messages.answers = {true};
    int starts = 0;
    app.archive().setThreadStarter([&starts](std::thread&, std::function<void()>) {
        ++starts;
        return false;
    });

    clickButton(app.palette(), Form2::SaveButton);

    // The save, then the list load that follows a failed save: each told, the file as it was.
    QCOMPARE(starts, 2);
    QCOMPARE(app.messages.shown.size(), 3);
    const QString told = u"Impossibile lavorare sull'archivio %1: "_s.arg(path);
    for (const qsizetype i : {1, 2}) {
        QCOMPARE(app.messages.shown[i].kind, Shown::Critical);
        QVERIFY2(app.messages.shown[i].text.startsWith(told), qPrintable(app.messages.shown[i].text));
    }
    QCOMPARE(contents(path), Bianchi);
    QCOMPARE(app.palette().List1->count(), 0);

    // With threads again, the same commands work.
    app.archive().setThreadStarter(startThread);
    app.archive().LoadArchiveList();
    QCOMPARE(app.archive().RecordCount(), 1);
}

QTEST_MAIN(ArchiveCommandsTest)
#include "ArchiveCommandsTest.moc"
