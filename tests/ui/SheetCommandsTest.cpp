// SPDX-License-Identifier: GPL-3.0-or-later

// The spreadsheet and archive-import commands on plain values, with the file dialogs, the review and
// the message boxes answered in advance and the archive in a temporary directory.
#include "ui/SheetCommands.h"
#include "CapturingPrinter.h"
#include "FailureCompare.h"
#include "FileBytes.h"
#include "FileSizeLimit.h"
#include "FixedClock.h"
#include "HeldArchiveLock.h"
#include "ScriptedMessageBoxes.h"
#include "ScriptedPrintDialogs.h"
#include "ScriptedSheetDialogs.h"
#include "SheetImportOf.h"
#include "core/archive/SlipArchive.h"
#include "platform/Services.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

QString fixture(const QString& name)
{
    return QStringLiteral(SHEET_DATA_DIR "/") + name;
}

QStringList payers(const QString& archivePath)
{
    ArchiveTable table;
    (void)SlipArchive(archivePath).load(table);
    QStringList names;
    for (const SlipRecord& record : table)
        names.append(record.column(FirstFieldColumn + PayerName));
    return names;
}

} // namespace

class SheetCommandsTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void reviewedRowsAreStored();
    void stoppingStoresNothing();
    void aFileThatIsNoSheetIsRefused();
    void aSheetImportedTwiceIsStoredOnce();
    void aFullDiskStoresNoRow();
    void overflowsAreSummarisedPerRow();
    void exportedArchiveImportsBackTheSame();
    void anotherArchiveIsMergedWithoutDuplicates();
    void anOldArchiveIsOfferedOnce_data();
    void anOldArchiveIsOfferedOnce();
    void anOldArchiveUnreadOrAbsentIsToldAtMostOnce();
    void aBusyArchiveAsksWhetherToTryAgain_data();
    void aBusyArchiveAsksWhetherToTryAgain();
    void printedAsOneJobOfOnePageASlip();
    void printCancelledBetweenSlipsSendsNothing();
    void failedPrintIsTold();
    void savedAsOnePdf();
    void namesWithPercentSignsAreToldAsTheyAre();

private:
    QString archivePath() const { return m_dir.filePath(u"fillcp.dll"_s); }

    QTemporaryDir m_dir;
    ScriptedMessageBoxes m_messages;
    FixedClock m_clock;
    CapturingPrinter m_printer;
    ScriptedPrintDialogs m_printDialogs;
    ScriptedSheetDialogs m_dialogs;
    std::unique_ptr<Services> m_services;
};

void SheetCommandsTest::init()
{
    QFile::remove(archivePath());
    m_messages = {};
    m_dialogs = {};
    m_printer = {};
    m_services = std::make_unique<Services>(Services{
        m_messages, m_clock, m_printer, m_printDialogs, m_dialogs, [this] { return archivePath(); }, {}, {}});
}

void SheetCommandsTest::reviewedRowsAreStored()
{
    m_dialogs.sheetToOpen = fixture(u"excel-utf8-bom.csv"_s);
    m_dialogs.action = SheetAction::Store;
    SheetCommands commands(*m_services);
    commands.setLocale(QLocale(QLocale::Italian, QLocale::Italy));
    QCOMPARE(commands.importSheet(), SheetCommands::Result::Done);

    // The review showed the counts, every refused row with its column, and the ignored column.
    QCOMPARE(m_dialogs.reviews.size(), 1);
    const SheetReview& review = m_dialogs.reviews[0];
    QCOMPARE(review.fileName, u"excel-utf8-bom.csv"_s);
    QCOMPARE(review.goodRows, 4);
    QCOMPARE(review.refusedRows, 2);
    QStringList problems;
    for (const SheetProblem& p : review.problems)
        problems.append(u"%1 %2"_s.arg(p.row).arg(p.column));
    QCOMPARE(problems, (QStringList{u"5 Conto"_s, u"8 Nome"_s}));
    QCOMPARE(review.ignoredColumns, QStringList{u"Note"_s});

    QCOMPARE(payers(archivePath()),
             (QStringList{u"Mario Rossi"_s, u"Anna Bianchi"_s, u"Luca Verdi"_s, u"Nicolò Ferrè"_s}));
    QCOMPARE(m_messages.texts(), QStringList{u"Bollettini aggiunti all'archivio: 4."_s});
    // Dated by the clock, in the archive's own shape.
    QVERIFY(contents(archivePath()).startsWith("?*@1\xE7*^\r\n07 dicembre 2026\r\n Mario Rossi\r\n"));
}

void SheetCommandsTest::stoppingStoresNothing()
{
    write(archivePath(), QByteArray());
    m_dialogs.sheetToOpen = fixture(u"libreoffice-comma-utf8.csv"_s);
    m_dialogs.action = SheetAction::Stop;
    QCOMPARE(SheetCommands(*m_services).importSheet(), SheetCommands::Result::Stopped);
    QCOMPARE(m_dialogs.reviews.size(), 1);
    QCOMPARE(contents(archivePath()), QByteArray());
    QCOMPARE(m_messages.shown.size(), 0);

    // Nor does a file dialog left without a file.
    m_dialogs.sheetToOpen.clear();
    QCOMPARE(SheetCommands(*m_services).importSheet(), SheetCommands::Result::Stopped);
    QCOMPARE(m_dialogs.reviews.size(), 1);
}

void SheetCommandsTest::aFileThatIsNoSheetIsRefused()
{
    const QString path = m_dir.filePath(u"colori.csv"_s);
    write(path, "Colore;Forma\r\nrosso;tondo\r\n");
    m_dialogs.sheetToOpen = path;
    m_dialogs.action = SheetAction::Store;
    QCOMPARE(SheetCommands(*m_services).importSheet(), SheetCommands::Result::Failed);
    QCOMPARE(m_dialogs.reviews.size(), 0);
    QCOMPARE(m_messages.shown.size(), 1);
    QCOMPARE(m_messages.shown[0].kind, ScriptedMessageBoxes::Shown::Critical);
    QVERIFY(!QFile::exists(archivePath()));
}

void SheetCommandsTest::aSheetImportedTwiceIsStoredOnce()
{
    const QString path = m_dir.filePath(u"soci.csv"_s);
    write(path, "Nome;CAP;Importo\r\nRossi;184;10\r\nBianchi;20121;12,50\r\n");
    m_dialogs.sheetToOpen = path;
    m_dialogs.action = SheetAction::Store;
    SheetCommands commands(*m_services);
    // The sheet has no account: every slip takes the form's, and the review says where it came from.
    SlipTexts form;
    form[AccountNumber] = u"12345678"_s;
    QCOMPARE(commands.importSheet(form), SheetCommands::Result::Done);
    QCOMPARE(m_dialogs.reviews.last().alreadyStored, 0);
    // The postcode that lost its zeros was completed, and the review said so.
    QCOMPARE(m_dialogs.reviews.last().notices.size(), 1);
    QVERIFY(m_dialogs.reviews.last().notices[0].startsWith(u"Riga 2, colonna «CAP»: "_s));
    QCOMPARE(m_dialogs.reviews.last().missingColumns, QString());
    QCOMPARE(m_dialogs.reviews.last().mergedValues, QStringList{u"nr. C/C: 12345678 (dal modulo)"_s});

    // The same file again: the review counts both as stored already and a plain Store adds nothing.
    write(path, "Nome;CAP;Importo\r\nRossi;184;10\r\nBianchi;20121;12,50\r\nVerdi;10121;5\r\n");
    m_messages.shown.clear();
    QCOMPARE(commands.importSheet(form), SheetCommands::Result::Done);
    QCOMPARE(m_dialogs.reviews.last().alreadyStored, 2);
    QVERIFY(m_dialogs.reviews.last().notices.contains(u"Riga 3: già nell'archivio"_s));
    QCOMPARE(payers(archivePath()), (QStringList{u"Rossi"_s, u"Bianchi"_s, u"Verdi"_s}));
    QCOMPARE(m_messages.texts(),
             QStringList{u"Bollettini aggiunti all'archivio: 1; già presenti, saltati: 2."_s});

    m_messages.shown.clear();
    QCOMPARE(commands.importSheet(form), SheetCommands::Result::Stopped);
    QCOMPARE(payers(archivePath()).size(), 3);
    QCOMPARE(m_messages.texts(),
             QStringList{u"Tutti i bollettini del file sono già nell'archivio: nulla è stato aggiunto."_s});

    // Asked for, they are added all the same.
    m_dialogs.action = SheetAction::StoreAll;
    QCOMPARE(commands.importSheet(form), SheetCommands::Result::Done);
    QCOMPARE(payers(archivePath()).size(), 6);

    // Without the form's account no row is a slip, and nothing is stored.
    m_dialogs.action = SheetAction::Store;
    QCOMPARE(commands.importSheet(), SheetCommands::Result::Stopped);
    QCOMPARE(m_dialogs.reviews.last().goodRows, 0);
    QCOMPARE(m_dialogs.reviews.last().refusedRows, 3);
    QVERIFY2(m_dialogs.reviews.last().missingColumns.contains(u"«Conto»"_s),
             qPrintable(m_dialogs.reviews.last().missingColumns));
    QCOMPARE(payers(archivePath()).size(), 6);
}

void SheetCommandsTest::aFullDiskStoresNoRow()
{
    SKIP_WITHOUT_FILE_SIZE_LIMIT();
    write(archivePath(), QByteArray());
    QByteArray sheet = "Nome;Importo;Conto\r\n";
    for (int i = 0; i < 40; ++i)
        sheet += "Socio " + QByteArray::number(i) + ";10,00;1234\r\n";
    const SheetImport import = importOf(sheet);
    SheetCommands commands(*m_services);
    {
        FileSizeLimit limit(2000); // room for a few records of the forty
        QVERIFY(limit.active());
        QCOMPARE(commands.storeSlips(import.slips), SheetCommands::Result::Failed);
    }
    QCOMPARE(contents(archivePath()), QByteArray());
    QCOMPARE(m_messages.shown.size(), 1);
    QVERIFY2(m_messages.shown[0].text.endsWith(u"Nessun bollettino è stato aggiunto all'archivio."_s),
             qPrintable(m_messages.shown[0].text));
}

void SheetCommandsTest::aBusyArchiveAsksWhetherToTryAgain_data()
{
    QTest::addColumn<bool>("merging"); // else a sheet's rows stored
    QTest::newRow("Importa archivio") << true;
    QTest::newRow("rows of a sheet") << false;
}

// Another copy holds the archive's lock: the user is asked, as for a save, and nothing is written
// until the lock is free.
void SheetCommandsTest::aBusyArchiveAsksWhetherToTryAgain()
{
    QFETCH(bool, merging);
    write(archivePath(), QByteArray());
    const QString other = m_dir.filePath(u"da-windows.dll"_s);
    write(other, "?*@1\xE7*^\r\n01 gennaio 2026\r\nRossi\r\n\r\n\r\n\r\n1,00\r\nuno/00\r\n\r\n\r\n\r\n1\r\n"
                 "\r\n\r\nFalse\r\nTrue\r\n1\r\n");
    m_dialogs.archiveToOpen = other;
    const SheetImport import = importOf("Nome;Importo;Conto\r\nRossi;1,00;1\r\n");
    SheetCommands commands(*m_services);
    const auto run = [&] { return merging ? commands.importArchive() : commands.storeSlips(import.slips); };

    HeldArchiveLock lock(archivePath());
    QVERIFY(lock.held());
    m_messages.answers = {false};
    QCOMPARE(run(), SheetCommands::Result::Failed);
    QCOMPARE(m_messages.texts(),
             QStringList(u"L'archivio %1 è in uso da un'altra copia del programma.\nRiprovare?"_s.arg(
                 archivePath())));
    QCOMPARE(contents(archivePath()), QByteArray());

    lock.release();
    m_messages.shown.clear();
    QCOMPARE(run(), SheetCommands::Result::Done);
    QCOMPARE(payers(archivePath()), QStringList{u"Rossi"_s});
}

void SheetCommandsTest::overflowsAreSummarisedPerRow()
{
    const QString path = m_dir.filePath(u"lunghi.csv"_s);
    // Row 3's payee is far too long for its line on either model; rows 2 and 4 fit.
    write(path, "Nome;Intestato 1;Importo;Conto\r\n"
                "Anna;Ente;1,00;1\r\n"
                "Luca;Associazione per la tutela e la valorizzazione del patrimonio storico artistico "
                "e ambientale della provincia;2,00;1\r\n"
                "Rita;Ente;3,00;1\r\n");
    m_dialogs.sheetToOpen = path;
    QCOMPARE(SheetCommands(*m_services).importSheet(), SheetCommands::Result::Stopped);
    QCOMPARE(m_dialogs.reviews.size(), 1);
    const QStringList warnings = m_dialogs.reviews[0].overflowWarnings;
    QCOMPARE(warnings.size(), 1);
    QVERIFY2(warnings[0].startsWith(u"Riga 3 (2 frame): "_s), qPrintable(warnings[0]));
    // Nobody was asked about it row by row.
    QCOMPARE(m_messages.shown.size(), 0);
}

void SheetCommandsTest::exportedArchiveImportsBackTheSame()
{
    const QByteArray stored =
        "?*@1\xE7*^\r\n07 dicembre 2026\r\n Rossi; Mario\r\n Via \"Roma\" 1\r\n 00100\r\n"
        " Citt\xE0\r\n 1234,56\r\n milleduecentotrentaquattro/56\r\n Ente \x80\r\n \r\n"
        " \r\n 00012345\r\n Quota\r\n 123\r\n True\r\n False\r\n 0\r\n";
    write(archivePath(), stored);
    ArchiveTable table;
    QCOMPARE(SlipArchive(archivePath()).load(table), Failure());

    const QString csv = m_dir.filePath(u"esportati.csv"_s);
    m_dialogs.sheetToSave = csv;
    SheetCommands commands(*m_services);
    commands.setLocale(QLocale(QLocale::Italian, QLocale::Italy));
    QCOMPARE(commands.exportSheet(table), SheetCommands::Result::Done);
    QVERIFY(contents(csv).startsWith("\xEF\xBB\xBF"));

    // Into an empty archive: the same record, in the save's shape.
    QFile::remove(archivePath());
    m_dialogs.sheetToOpen = csv;
    m_dialogs.action = SheetAction::Store;
    QCOMPARE(commands.importSheet(), SheetCommands::Result::Done);
    QCOMPARE(contents(archivePath()), stored);
}

void SheetCommandsTest::anotherArchiveIsMergedWithoutDuplicates()
{
    const QByteArray first =
        "?*@1\xE7*^\r\n01 gennaio 2026\r\nRossi\r\n\r\n\r\n\r\n1,00\r\nuno/00\r\n\r\n\r\n\r\n1\r\n"
        "\r\n\r\nFalse\r\nTrue\r\n1\r\n";
    const QByteArray second = QByteArray(first).replace("Rossi", "Verdi");
    write(archivePath(), first);
    const QString other = m_dir.filePath(u"da-windows.dll"_s);
    // Ours again with its date in English, Verdi twice.
    write(other, QByteArray(first).replace("01 gennaio 2026", "01 January 2026") + second + second);

    m_dialogs.archiveToOpen = other;
    QCOMPARE(SheetCommands(*m_services).importArchive(), SheetCommands::Result::Done);
    QCOMPARE(payers(archivePath()), (QStringList{u"Rossi"_s, u"Verdi"_s}));
    QCOMPARE(m_messages.texts(),
             QStringList{u"Bollettini aggiunti all'archivio: 1; già presenti, saltati: 1; doppioni nel file, "
                         u"saltati: 1."_s});

    // A file without any record is said to be so.
    write(other, "nessun bollettino\r\n");
    QCOMPARE(SheetCommands(*m_services).importArchive(), SheetCommands::Result::Failed);
    QCOMPARE(payers(archivePath()).size(), 2);
}

void SheetCommandsTest::anOldArchiveIsOfferedOnce_data()
{
    QTest::addColumn<bool>("yes");
    QTest::addColumn<QStringList>("stored");
    QTest::newRow("yes brings the new slips in") << true << QStringList{u"Rossi"_s, u"Verdi"_s};
    QTest::newRow("no is remembered") << false << QStringList{u"Rossi"_s};
}

void SheetCommandsTest::anOldArchiveIsOfferedOnce()
{
    QFETCH(bool, yes);
    QFETCH(QStringList, stored);
    const QByteArray rossi =
        "?*@1\xE7*^\r\n01 gennaio 2026\r\nRossi\r\n\r\n\r\n\r\n1,00\r\nuno/00\r\n\r\n\r\n"
        "\r\n1\r\n\r\n\r\nFalse\r\nTrue\r\n1\r\n";
    const QByteArray old = rossi + QByteArray(rossi).replace("Rossi", "Verdi");
    write(archivePath(), rossi);
    QDir(m_dir.path()).mkpath(u"system32"_s);
    const QString oldPath = m_dir.filePath(u"system32/fillcp.dll"_s);
    write(oldPath, old);
    const QStringList places{oldPath, m_dir.filePath(u"syswow64/fillcp.dll"_s)};
    // Each row with a user folder of its own.
    const QString answer = m_dir.filePath(
        u"utente-%1/archivio-precedente.txt"_s.arg(QString::fromUtf8(QTest::currentDataTag())));

    SheetCommands commands(*m_services);
    m_messages.answers = {yes};
    QCOMPARE(commands.offerOldArchive(places, answer),
             yes ? SheetCommands::Result::Done : SheetCommands::Result::Stopped);
    QCOMPARE(m_messages.shown.size(), yes ? 2 : 1);
    const QString question = m_messages.texts().first();
    QVERIFY2(
        question.contains(
            u"Nel file %1, l'archivio di una versione precedente, c'è 1 bollettino che il vostro archivio non ha."_s
                .arg(QDir::toNativeSeparators(oldPath))),
        qPrintable(question));
    QCOMPARE(payers(archivePath()), stored);
    if (yes)
        QCOMPARE(m_messages.texts().last(), u"Bollettini aggiunti all'archivio: 1."_s);
    // The old file as it was, and the answer kept in the user's folder.
    QCOMPARE(contents(oldPath), old);
    QVERIFY(contents(answer).contains(yes ? "Risposta: Sì." : "Risposta: No."));

    // Asked once: the next start says nothing, whatever the old file holds by then.
    write(oldPath, old + QByteArray(rossi).replace("Rossi", "Bianchi"));
    m_messages.shown.clear();
    QCOMPARE(commands.offerOldArchive(places, answer), SheetCommands::Result::Stopped);
    QCOMPARE(m_messages.shown.size(), 0);
    QCOMPARE(payers(archivePath()), stored);
}

void SheetCommandsTest::anOldArchiveUnreadOrAbsentIsToldAtMostOnce()
{
    const QString answer = m_dir.filePath(u"archivio-precedente.txt"_s);
    SheetCommands commands(*m_services);
    // Nothing at any place: not a word, and nothing remembered, so a file copied there later is found.
    QCOMPARE(commands.offerOldArchive({m_dir.filePath(u"nessuna/fillcp.dll"_s)}, answer),
             SheetCommands::Result::Stopped);
    QCOMPARE(m_messages.shown.size(), 0);
    QVERIFY(!QFile::exists(answer));
    // A folder where the file should be: told once, with the way to bring it later.
    QDir(m_dir.path()).mkpath(u"vecchio/fillcp.dll"_s);
    const QStringList places{m_dir.filePath(u"vecchio/fillcp.dll"_s)};
    QCOMPARE(commands.offerOldArchive(places, answer), SheetCommands::Result::Stopped);
    QCOMPARE(m_messages.shown.size(), 1);
    QVERIFY2(
        m_messages.texts()[0].startsWith(u"L'archivio di una versione precedente non si è potuto leggere:"_s),
        qPrintable(m_messages.texts()[0]));
    QCOMPARE(commands.offerOldArchive(places, answer), SheetCommands::Result::Stopped);
    QCOMPARE(m_messages.shown.size(), 1);
}

namespace {

// Row 2 on "2 frame", row 3 on "premarcati", row 4 without a model, row 5 on "2 frame".
const QByteArray ThreeModels =
    "Nome;Modello;Importo;Conto\r\nAnna;2 frame;1,00;1\r\nLuca;premarcati;2,00;1\r\n"
    "Rita;nessuno;3,00;1\r\nPaolo;;4,00;1\r\n";

} // namespace

void SheetCommandsTest::printedAsOneJobOfOnePageASlip()
{
    const SheetImport import = importOf(ThreeModels);
    QCOMPARE(import.slips.size(), 4);
    QCOMPARE(SheetCommands(*m_services).printSlips(import.slips), SheetCommands::Result::Done);

    // One job to the default printer, one page a slip that has a model, each in its own model.
    QCOMPARE(m_printer.targets.size(), 1u);
    QCOMPARE(m_printer.targets[0].printerName, QString());
    QCOMPARE(m_printer.printedPages.size(), 3u);
    const QString twoFrameTitle = u"|CONTI CORRENTI POSTALI - Ricevuta di Versamento|"_s;
    const QStringList names = {u"|Anna|"_s, u"|Luca|"_s, u"|Paolo|"_s};
    for (int page = 0; page < 3; ++page) {
        const QString drawn = m_printer.printedPages[page].join(u'\n');
        QVERIFY2(drawn.contains(names[page]), qPrintable(names[page]));
        QCOMPARE(drawn.contains(twoFrameTitle), page != 1);
        QCOMPARE(drawn.contains(u"BancoPOSTA|"_s), page == 1);
    }
    QCOMPARE(m_dialogs.progressWindows, 1);
    QCOMPARE(m_dialogs.progressDone, (QList<int>{1, 2, 3}));
    // Once the last slip is drawn the job goes to CUPS: "Annulla" no longer stops anything, and says so.
    QCOMPARE(m_dialogs.cancellingPassedAt, 3);
    QVERIFY2(m_dialogs.cancellingPassedLabel.contains(u"solo dalla coda di stampa"_s),
             qPrintable(m_dialogs.cancellingPassedLabel));
    QCOMPARE(
        m_messages.texts(),
        QStringList{u"Bollettini stampati in un solo lavoro: 3.\nRighe senza modello, non stampate: 4."_s});
}

void SheetCommandsTest::printCancelledBetweenSlipsSendsNothing()
{
    const SheetImport import = importOf(ThreeModels);
    m_dialogs.cancelAfter = 1;
    QCOMPARE(SheetCommands(*m_services).printSlips(import.slips), SheetCommands::Result::Stopped);
    // Stopped after the first slip: the second was never drawn.
    QCOMPARE(m_printer.printedPages.size(), 1u);
    QCOMPARE(m_messages.texts(), QStringList{u"Stampa annullata: nessun bollettino è stato stampato."_s});
}

void SheetCommandsTest::failedPrintIsTold()
{
    const SheetImport import = importOf(ThreeModels);
    m_printer.printOutcome = {PrintOutcome::Failed, u"la coda rifiuta i lavori"_s};
    QCOMPARE(SheetCommands(*m_services).printSlips(import.slips), SheetCommands::Result::Failed);
    QCOMPARE(m_messages.shown.size(), 1);
    QCOMPARE(m_messages.shown[0].kind, ScriptedMessageBoxes::Shown::Critical);
    QCOMPARE(m_messages.shown[0].text,
             u"La stampa non è riuscita: la coda rifiuta i lavori.\nNessun bollettino è stato stampato."_s);

    // Without a default printer the slips may go into one PDF file instead; the printer's reason is
    // told inside the sentence, as it was written.
    m_messages = {};
    m_printer.printOutcome = {PrintOutcome::NoPrinter,
                              u"la stampante «ufficio» indicata da PRINTER non esiste"_s};
    m_messages.answers = {true};
    m_dialogs.pdfToSave = m_dir.filePath(u"invece.pdf"_s);
    QCOMPARE(SheetCommands(*m_services).printSlips(import.slips), SheetCommands::Result::Done);
    QVERIFY(contents(m_dialogs.pdfToSave).startsWith("%PDF"));
    QCOMPARE(m_messages.texts().value(0),
             u"Nessun bollettino è stato stampato: la stampante «ufficio» indicata da "
             u"PRINTER non esiste.\nVuoi salvarli in un file PDF?"_s);

    // A job that waits in the queue is sent, and its reason told after a colon too.
    m_messages = {};
    m_printer.printOutcome = {PrintOutcome::Waiting, u"la stampante «ufficio» è ferma e il lavoro attende"_s};
    QCOMPARE(SheetCommands(*m_services).printSlips(import.slips), SheetCommands::Result::Done);
    QVERIFY2(m_messages.texts().value(0).contains(
                 u"Non sono ancora stati stampati: la stampante «ufficio» è ferma e il lavoro attende.\n"_s),
             qPrintable(m_messages.texts().value(0)));
}

void SheetCommandsTest::savedAsOnePdf()
{
    const SheetImport import = importOf(ThreeModels);
    const QString path = m_dir.filePath(u"soci.pdf"_s);
    m_dialogs.pdfToSave = path;

    // Cancelled between two slips: no file.
    m_dialogs.cancelAfter = 2;
    QCOMPARE(SheetCommands(*m_services).saveSlipsAsPdf(import.slips), SheetCommands::Result::Stopped);
    QVERIFY(!QFile::exists(path));
    QCOMPARE(m_messages.texts(), QStringList{u"Salvataggio annullato: il file PDF non è stato scritto."_s});

    m_messages = {};
    m_dialogs.cancelAfter = -1;
    QCOMPARE(SheetCommands(*m_services).saveSlipsAsPdf(import.slips), SheetCommands::Result::Done);
    const QByteArray pdf = contents(path);
    QVERIFY(pdf.startsWith("%PDF"));
    // Three pages, each A4 landscape.
    QCOMPARE(pdf.count("/Type /Page\n") + pdf.count("/Type /Page\r") + pdf.count("/Type /Page "), 3);
}

// "%1" and "%2" in a folder's or a file's name are told as they are, in every message that names it:
// each message is built in one step, so a name is never taken for a place of the text.
void SheetCommandsTest::namesWithPercentSignsAreToldAsTheyAre()
{
    QDir(m_dir.path()).mkdir(u"soci %2 %1"_s);
    const QString folder = m_dir.filePath(u"soci %2 %1"_s);

    const QString pdf = folder + u"/bollettini %1%2.pdf"_s;
    m_dialogs.pdfToSave = pdf;
    QCOMPARE(SheetCommands(*m_services).saveSlipsAsPdf(importOf(ThreeModels).slips),
             SheetCommands::Result::Done);
    QCOMPARE(m_messages.texts(), QStringList{u"Bollettini salvati in "_s + QDir::toNativeSeparators(pdf) +
                                             u": 3.\nRighe senza modello, non stampate: 4."_s});

    m_messages = {};
    write(archivePath(),
          "?*@1\xE7*^\r\n01 gennaio 2026\r\nRossi\r\n\r\n\r\n\r\n1,00\r\nuno/00\r\n\r\n\r\n\r\n1\r\n"
          "\r\n\r\nFalse\r\nTrue\r\n1\r\n");
    ArchiveTable table;
    QCOMPARE(SlipArchive(archivePath()).load(table), Failure());
    const QString csv = folder + u"/esportati %1%2.csv"_s;
    m_dialogs.sheetToSave = csv;
    QCOMPARE(SheetCommands(*m_services).exportSheet(table), SheetCommands::Result::Done);
    QCOMPARE(m_messages.texts(),
             QStringList{u"Bollettini esportati in "_s + QDir::toNativeSeparators(csv) + u": 1."_s});

    m_messages = {};
    const QString missing = folder + u"/manca %1%2.csv"_s;
    m_dialogs.sheetToOpen = missing;
    QCOMPARE(SheetCommands(*m_services).importSheet(), SheetCommands::Result::Failed);
    QCOMPARE(m_messages.shown.size(), 1);
    QVERIFY2(m_messages.shown[0].text.startsWith(u"Impossibile aprire il file "_s +
                                                 QDir::toNativeSeparators(missing) + u": "_s),
             qPrintable(m_messages.shown[0].text));

    m_messages = {};
    const QString empty = folder + u"/vuoto %1%2.dll"_s;
    write(empty, "nessun bollettino\r\n");
    m_dialogs.archiveToOpen = empty;
    QCOMPARE(SheetCommands(*m_services).importArchive(), SheetCommands::Result::Failed);
    QCOMPARE(m_messages.texts(), QStringList{u"Il file "_s + QDir::toNativeSeparators(empty) +
                                             u" non contiene bollettini salvati: nulla è stato aggiunto."_s});
}

QTEST_MAIN(SheetCommandsTest)
#include "SheetCommandsTest.moc"
