// SPDX-License-Identifier: GPL-3.0-or-later
// Sheets as an association's secretary makes them, in LibreOffice or with a script (tests/cli/data),
// each read twice: by the windows (the review, then "Aggiungi all'archivio") and by
// `cedolario --importa`. Both must find the same header, leave out the same rows and store the same
// slips.
#include "CapturingPrinter.h"
#include "FixedClock.h"
#include "RunCedolario.h"
#include "ScriptedMessageBoxes.h"
#include "ScriptedPrintDialogs.h"
#include "ScriptedSheetDialogs.h"
#include "core/archive/SlipArchive.h"
#include "platform/Services.h"
#include "ui/SheetCommands.h"

#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

QString fixture(const QString& name)
{
    return QStringLiteral(SHEET_FILES_DIR "/") + name;
}

// Each stored slip as "name | town | amount | account | payee | reason".
QStringList storedSlips(const QString& archivePath)
{
    ArchiveTable table;
    (void)SlipArchive(archivePath).load(table);
    QStringList slips;
    for (const SlipRecord& record : table) {
        QStringList fields;
        for (const int field : {PayerName, PayerTown, Amount, AccountNumber, PayeeLine1, PaymentReason})
            fields.append(record.column(FirstFieldColumn + field));
        slips.append(fields.join(u" | "_s));
    }
    return slips;
}

// A value every row takes: the form's field for the windows, "--valore Header=text" for the command line.
struct Value {
    int field;
    QString header;
    QString text;
};

// The world a sheet command runs with in the windows: the review answered "Aggiungi all'archivio"
// for the sheet given, and the archive at the path given.
struct SheetWindow {
    SheetWindow(QString archivePath, const QString& sheet) : archive(std::move(archivePath))
    {
        dialogs.sheetToOpen = sheet;
        dialogs.action = SheetAction::Store;
    }
    QString archive;
    ScriptedMessageBoxes messages;
    FixedClock clock;
    CapturingPrinter printer;
    ScriptedPrintDialogs printDialogs;
    ScriptedSheetDialogs dialogs;
    Services services{messages, clock, printer, printDialogs, dialogs, [this] { return archive; }, {}, {}};
};

} // namespace

Q_DECLARE_METATYPE(QList<Value>)

class SheetFilesTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void sameRowsInTheReviewAndOnTheCommandLine_data();
    void sameRowsInTheReviewAndOnTheCommandLine();
    void sheetsThatAreNoListSayWhy_data();
    void sheetsThatAreNoListSayWhy();
    void noSheetChosenDoesNothing();
    void aSheetEditedAfterItsSlipsWereStored();

private:
    QTemporaryDir m_dir;
    int m_rows = 0; // rows of the table run, each with archives of its own
};

void SheetFilesTest::initTestCase()
{
    QVERIFY(m_dir.isValid());
}

void SheetFilesTest::sameRowsInTheReviewAndOnTheCommandLine_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QList<Value>>("values");
    QTest::addColumn<bool>("alsoHidden");
    QTest::addColumn<int>("headerRow");
    QTest::addColumn<QList<int>>("hiddenRows");
    QTest::addColumn<QList<int>>("totalRows");
    QTest::addColumn<int>("refused");
    QTest::addColumn<QString>("said"); // a line both the review and the command line give
    QTest::addColumn<QStringList>("slips");

    const QString rossi = u"Mario Rossi | Roma | 35,50 | 12345678 |  | Quota 2027"_s;
    const QString bianchi = u"Anna Bianchi | Torino | 35,50 | 12345678 |  | Quota 2027"_s;
    const QString verdi = u"Luca Verdi | Milano | 16,50 | 12345678 |  | Quota 2027"_s;
    const QString neri = u"Sara Neri | Catania | 20,00 | 12345678 |  | Quota 2027"_s;
    const QStringList byProvince = {u"Rossi Mario | Roma (RM) | 35,00 | 12345678 |  | "_s,
                                    u"Bianchi Anna | Torino (TO) | 35,00 | 12345678 |  | "_s,
                                    u"Verdi Luca | Milano (MI) | 17,50 | 12345678 |  | "_s};

    QTest::newRow("script's xlsx: a Totale row whose sum has no stored value")
        << u"totale-openpyxl.xlsx"_s << QList<Value>{} << false << 1 << QList<int>{} << QList<int>{5} << 0
        << u"Righe di totale, saltate: 1 (riga 5)."_s << QStringList{rossi, bianchi, verdi};
    QTest::newRow("LibreOffice ods: Cognome, Nome, Prov., Quota, C/C postale, Totale and a bare sum")
        << u"cognome-nome.ods"_s << QList<Value>{} << false << 1 << QList<int>{} << QList<int>{5, 6} << 0
        << u"Righe di totale, saltate: 2 (righe 5, 6)."_s << byProvince;
    QTest::newRow("LibreOffice xlsx of the same")
        << u"cognome-nome.xlsx"_s << QList<Value>{} << false << 1 << QList<int>{} << QList<int>{5, 6} << 0
        << u"Righe di totale, saltate: 2 (righe 5, 6)."_s << byProvince;
    QTest::newRow("LibreOffice CSV of the same: the totals are plain numbers")
        << u"cognome-nome.csv"_s << QList<Value>{} << false << 1 << QList<int>{} << QList<int>{5, 6} << 0
        << u"Righe di totale, saltate: 2 (righe 5, 6)."_s << byProvince;
    QTest::newRow("script's xlsx: a title, an empty row, the header on row 3")
        << u"titolo-openpyxl.xlsx"_s << QList<Value>{} << false << 3 << QList<int>{} << QList<int>{} << 0
        << u"Intestazione alla riga 3."_s << QStringList{rossi, bianchi, verdi};
    QTest::newRow("LibreOffice CSV of the same")
        << u"titolo.csv"_s << QList<Value>{} << false << 3 << QList<int>{} << QList<int>{} << 0
        << u"Intestazione alla riga 3."_s << QStringList{rossi, bianchi, verdi};
    QTest::newRow("script's xlsx: a formula never computed, its row refused with its cell")
        << u"formula-openpyxl.xlsx"_s << QList<Value>{} << false << 1 << QList<int>{} << QList<int>{} << 1
        << u"Riga 3, colonna «Importo»: E3: formula senza valore calcolato; aprire e salvare il file"_s
        << QStringList{rossi, verdi};
    QTest::newRow("script's xlsx: a hidden row")
        << u"nascosta-openpyxl.xlsx"_s << QList<Value>{} << false << 1 << QList<int>{3} << QList<int>{} << 0
        << u"Righe nascoste, saltate: 1 (riga 3)."_s << QStringList{rossi, verdi};
    QTest::newRow("LibreOffice ods: a hidden row and one filtered out")
        << u"nascoste.ods"_s << QList<Value>{} << false << 1 << QList<int>{3, 5} << QList<int>{} << 0
        << u"Righe nascoste, saltate: 2 (righe 3, 5)."_s << QStringList{rossi, verdi};
    QTest::newRow("LibreOffice xlsx of the same")
        << u"nascoste.xlsx"_s << QList<Value>{} << false << 1 << QList<int>{3, 5} << QList<int>{} << 0
        << u"Righe nascoste, saltate: 2 (righe 3, 5)."_s << QStringList{rossi, verdi};
    QTest::newRow("flat OpenDocument of the same")
        << u"nascoste.fods"_s << QList<Value>{} << false << 1 << QList<int>{3, 5} << QList<int>{} << 0
        << u"Righe nascoste, saltate: 2 (righe 3, 5)."_s << QStringList{rossi, verdi};
    QTest::newRow("the hidden rows asked for")
        << u"nascoste.ods"_s << QList<Value>{} << true << 1 << QList<int>{} << QList<int>{} << 0
        << u"Intestazione alla riga 1."_s << QStringList{rossi, bianchi, verdi, neri};
    QTest::newRow("a list of members alone: no slip without amount and account")
        << u"soci.ods"_s << QList<Value>{} << false << 1 << QList<int>{} << QList<int>{} << 2
        << u"Riga 2, colonna «Importo»: manca l'importo: nessun bollettino senza importo viene dal foglio"_s
        << QStringList{};
    const QList<Value> merge = {{Amount, u"Importo"_s, u"35"_s},
                                {AccountNumber, u"C/C"_s, u"000012345678"_s},
                                {PayeeLine1, u"Intestato a"_s, u"Circolo Aurora"_s},
                                {PaymentReason, u"Causale"_s, u"Quota 2027"_s}};
    QTest::newRow("the same list merged with the constant fields")
        << u"soci.xlsx"_s << merge << false << 1 << QList<int>{} << QList<int>{} << 0
        << u"Intestazione alla riga 1."_s
        << QStringList{u"Rossi Mario | Roma | 35,00 | 000012345678 | Circolo Aurora | Quota 2027"_s,
                       u"Bianchi Anna | Torino | 35,00 | 000012345678 | Circolo Aurora | Quota 2027"_s};
    QTest::newRow("a value for a column the sheet has: the sheet's cells win")
        << u"titolo-openpyxl.xlsx"_s << QList<Value>{{Amount, u"Importo"_s, u"99"_s}} << false << 3
        << QList<int>{} << QList<int>{} << 0 << u"Intestazione alla riga 3."_s
        << QStringList{rossi, bianchi, verdi};
}

void SheetFilesTest::sameRowsInTheReviewAndOnTheCommandLine()
{
    QFETCH(QString, file);
    QFETCH(QList<Value>, values);
    QFETCH(bool, alsoHidden);
    QFETCH(int, headerRow);
    QFETCH(QList<int>, hiddenRows);
    QFETCH(QList<int>, totalRows);
    QFETCH(int, refused);
    QFETCH(QString, said);
    QFETCH(QStringList, slips);

    // The windows: the form holds the values; the review is answered "Aggiungi all'archivio", after
    // "Leggi anche le righe nascoste" when they are asked for.
    const QString run = u"riga-%1"_s.arg(++m_rows);
    const QString windowsArchive = m_dir.filePath(run + u".dll"_s);
    SheetWindow window(windowsArchive, fixture(file));
    ScriptedSheetDialogs& dialogs = window.dialogs;
    Services& services = window.services;
    if (alsoHidden)
        dialogs.actions = {SheetAction::ReadHidden};
    SlipTexts form;
    for (const Value& value : values)
        form[value.field] = value.text;
    SheetCommands commands(services);
    const SheetCommands::Result result = commands.importSheet(form);
    QCOMPARE(result, slips.isEmpty() ? SheetCommands::Result::Stopped : SheetCommands::Result::Done);
    QVERIFY(!dialogs.reviews.isEmpty());
    const SheetReview& review = dialogs.reviews.last();
    QCOMPARE(review.goodRows, slips.size());
    QCOMPARE(review.refusedRows, refused);
    QCOMPARE(review.hiddenRows, hiddenRows.size());
    QVERIFY2(review.notes.contains(u"Intestazione alla riga %1."_s.arg(headerRow)),
             qPrintable(review.notes.join(u'\n')));
    QStringList reviewLines = review.notes;
    for (const SheetProblem& problem : review.problems)
        reviewLines.append(problemText(problem));
    QVERIFY2(reviewLines.contains(said), qPrintable(reviewLines.join(u'\n')));
    if (alsoHidden)
        QCOMPARE(dialogs.reviews.first().hiddenRows, 2);
    QCOMPARE(storedSlips(windowsArchive), slips);

    // The command line, with --valore for the form and --anche-nascoste for the review's choice.
    const QString data = m_dir.filePath(run);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"XDG_DATA_HOME"_s, data);
    QStringList arguments = {u"--importa"_s, fixture(file)};
    for (const Value& value : values)
        arguments << u"--valore"_s << value.header + u'=' + value.text;
    if (alsoHidden)
        arguments << u"--anche-nascoste"_s;
    const Run cli = runCedolario(arguments, environment);
    QCOMPARE(cli.status, refused > 0 ? 1 : 0);
    QVERIFY2(cli.err.contains(said + u'\n'), qPrintable(cli.err));
    QVERIFY2(cli.err.contains(u"Intestazione alla riga %1.\n"_s.arg(headerRow)), qPrintable(cli.err));
    QString counts = u": %1; righe scartate: %2"_s.arg(slips.size()).arg(refused);
    if (!hiddenRows.isEmpty())
        counts += u"; righe nascoste, saltate: %1 (--anche-nascoste le legge)"_s.arg(hiddenRows.size());
    if (!totalRows.isEmpty())
        counts += u"; righe di totale, saltate: %1"_s.arg(totalRows.size());
    QVERIFY2(cli.err.contains(counts + u".\n"_s), qPrintable(cli.err));
    QCOMPARE(storedSlips(data + u"/cedolario/fillcp.dll"_s), slips);
}

void SheetFilesTest::sheetsThatAreNoListSayWhy_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("said");

    QTest::newRow("instructions on the first sheet, the list on the second")
        << u"istruzioni-openpyxl.xlsx"_s
        << u"Il foglio «Istruzioni» non nomina le colonne di un elenco di bollettini; le nominano il foglio "
           u"«Soci»"_s;
}

// Nothing is stored, and the window and the command line give the same reason.
void SheetFilesTest::sheetsThatAreNoListSayWhy()
{
    QFETCH(QString, file);
    QFETCH(QString, said);

    const QString windowsArchive = m_dir.filePath(u"nessuno.dll"_s);
    SheetWindow window(windowsArchive, fixture(file));
    ScriptedSheetDialogs& dialogs = window.dialogs;
    ScriptedMessageBoxes& messages = window.messages;
    Services& services = window.services;
    QCOMPARE(SheetCommands(services).importSheet(), SheetCommands::Result::Failed);
    QCOMPARE(dialogs.reviews.size(), 0);
    QCOMPARE(messages.shown.size(), 1);
    QVERIFY2(messages.shown[0].text.startsWith(said), qPrintable(messages.shown[0].text));
    QVERIFY(!QFile::exists(windowsArchive));

    const QString data = m_dir.filePath(u"nessuno"_s);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"XDG_DATA_HOME"_s, data);
    const Run run = runCedolario({u"--importa"_s, fixture(file)}, environment);
    QCOMPARE(run.status, 2);
    QVERIFY2(run.err.contains(said), qPrintable(run.err));
    QVERIFY(!QFile::exists(data + u"/cedolario/fillcp.dll"_s));
}

// The choice of a workbook's sheet closed without one: no message, no review, no archive.
void SheetFilesTest::noSheetChosenDoesNothing()
{
    const QString archive = m_dir.filePath(u"nessuna-scelta.dll"_s);
    SheetWindow window(archive, fixture(u"istruzioni-openpyxl.xlsx"_s));
    window.dialogs.stopAtSheetChoice = true;
    QCOMPARE(SheetCommands(window.services).importSheet(), SheetCommands::Result::Stopped);
    QCOMPARE(window.dialogs.reviews.size(), 0);
    QCOMPARE(window.messages.shown.size(), 0);
    QVERIFY(!QFile::exists(archive));
}

// The slips of a sheet stored, then the sheet edited (35,50 became 40,00) and imported again: the
// edited row is like a stored slip but for its amount. The review says so and a plain "Aggiungi
// all'archivio" leaves it out; the command line adds it and says so.
void SheetFilesTest::aSheetEditedAfterItsSlipsWereStored()
{
    const QString data = m_dir.filePath(u"modificato"_s);
    const QString archive = data + u"/cedolario/fillcp.dll"_s;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"XDG_DATA_HOME"_s, data);
    QCOMPARE(runCedolario({u"--importa"_s, fixture(u"titolo-openpyxl.xlsx"_s)}, environment).status, 0);
    QCOMPARE(storedSlips(archive).size(), 3);

    const QString differs = u"(di EURO: «35,50» nell'archivio, «40,00» nel foglio)"_s;
    SheetWindow window(archive, fixture(u"modificato-openpyxl.xlsx"_s));
    ScriptedSheetDialogs& dialogs = window.dialogs;
    Services& services = window.services;
    SheetCommands commands(services);
    commands.setLocale(QLocale(QLocale::Italian, QLocale::Italy));
    QCOMPARE(commands.importSheet(), SheetCommands::Result::Stopped);
    QCOMPARE(dialogs.reviews.size(), 1);
    QCOMPARE(dialogs.reviews[0].alreadyStored, 2);
    QCOMPARE(dialogs.reviews[0].similar.size(), 1);
    QVERIFY2(dialogs.reviews[0].similar[0].startsWith(u"Riga 4: simile a un bollettino del "_s),
             qPrintable(dialogs.reviews[0].similar[0]));
    QVERIFY2(dialogs.reviews[0].similar[0].endsWith(differs), qPrintable(dialogs.reviews[0].similar[0]));
    QCOMPARE(storedSlips(archive).size(), 3);

    const Run run = runCedolario({u"--importa"_s, fixture(u"modificato-openpyxl.xlsx"_s)}, environment);
    QCOMPARE(run.status, 0);
    QVERIFY2(run.err.contains(u"Riga 4: simile a un bollettino del "_s), qPrintable(run.err));
    QVERIFY2(run.err.contains(differs + u": aggiunto lo stesso.\n"_s), qPrintable(run.err));
    QVERIFY2(run.err.contains(u"Riga 4: aggiunto all'archivio (Mario Rossi, 40,00 euro).\n"_s),
             qPrintable(run.err));
    const QStringList stored = storedSlips(archive);
    QCOMPARE(stored.size(), 4);
    QCOMPARE(stored.last(), u"Mario Rossi | Roma | 40,00 | 12345678 |  | Quota 2027"_s);
}

QTEST_MAIN(SheetFilesTest)
#include "SheetFilesTest.moc"
