// SPDX-License-Identifier: GPL-3.0-or-later

// cedolario --help, --stampa, --pdf and --importa, run as a script runs them: the exit status and the
// Italian report on standard error.
#include "PdfReadBack.h"
#include "RunCedolario.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

Run cedolario(const QStringList& arguments,
              const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment())
{
    return runCedolario(arguments, environment);
}

QString fixture(const QString& name)
{
    return QStringLiteral(SHEET_DATA_DIR "/") + name;
}

// The number of pages of a PDF file, by poppler's pdfinfo; -1 when it cannot be read.
int pageCount(const QString& pdf)
{
    return PdfPageCount(pdf);
}

QHash<QString, QDateTime> pdfFiles(const QDir& directory)
{
    QHash<QString, QDateTime> files;
    for (const QFileInfo& info : directory.entryInfoList({u"*.pdf"_s}, QDir::Files))
        files.insert(info.absoluteFilePath(), info.lastModified());
    return files;
}

// Waits for a PDF from the queue, new since before, of the given number of pages (other tests' jobs
// have one page), and removes it. False when none came.
bool jobArrived(const QHash<QString, QDateTime>& before, int pages)
{
    const QDir output(qEnvironmentVariable("CEDOLARIO_CUPS_PDF_DIR"));
    QString arrived;
    const auto newJob = [&] {
        const QHash<QString, QDateTime> now = pdfFiles(output);
        for (auto it = now.cbegin(); it != now.cend(); ++it) {
            const bool isNew = !before.contains(it.key()) || before.value(it.key()) != it.value();
            if (isNew && pageCount(it.key()) == pages) {
                arrived = it.key();
                return true;
            }
        }
        return false;
    };
    if (!QTest::qWaitFor(newJob, 120000))
        return false;
    QFile::remove(arrived);
    return true;
}

// As a script finds the world over ssh or in cron: no display, and a platform asked for the windows.
QProcessEnvironment withoutDisplay()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(u"DISPLAY"_s);
    environment.remove(u"WAYLAND_DISPLAY"_s);
    environment.insert(u"QT_QPA_PLATFORM"_s, u"xcb"_s);
    return environment;
}

QProcessEnvironment environmentWith(const QString& name, const QString& value)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(name, value);
    return environment;
}

} // namespace

class CommandLineTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void wrongUse_data();
    void wrongUse();
    void windowsWithoutADisplay();
    void pdf();
    void import();
    void namesWithPercentSigns();
    void namesBeyondTheCodePage();
    void printWithARefusingQueueInTheMiddle();
    void printWithoutCups();
    void printerNamedByTheEnvironment();

private:
    QTemporaryDir m_dir;
};

void CommandLineTest::initTestCase()
{
    QVERIFY(m_dir.isValid());
}

void CommandLineTest::wrongUse_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("said"); // on standard output for --help, standard error otherwise

    QTest::newRow("help lists the commands")
        << QStringList{u"--help"_s} << 0 << u"--pdf USCITA.pdf FILE.csv"_s;
    QTest::newRow("print without a file")
        << QStringList{u"--stampa"_s} << 2 << u"--stampa vuole un solo argomento, il file CSV."_s;
    QTest::newRow("print with two files")
        << QStringList{u"--stampa"_s, u"a.csv"_s, u"b.csv"_s} << 2 << u"--stampa vuole un solo argomento"_s;
    QTest::newRow("pdf without its output")
        << QStringList{u"--pdf"_s, fixture(u"excel-1252.csv"_s)} << 2 << u"--pdf vuole due argomenti"_s;
    QTest::newRow("an option of ours after another")
        << QStringList{u"--importa"_s, u"--stampa"_s} << 2 << u"--importa vuole un solo argomento"_s;
    QTest::newRow("unknown option before ours")
        << QStringList{u"--stmpa"_s, u"--help"_s} << 2 << u"Argomento sconosciuto: --stmpa."_s;
    QTest::newRow("version") << QStringList{u"--version"_s} << 0 << u"cedolario 1.3\n"_s;
    QTest::newRow("version with a command")
        << QStringList{u"--version"_s, u"--stampa"_s, u"a.csv"_s} << 2 << u"--version non vuole altri"_s;
    QTest::newRow("unknown option alone opens no window") << QStringList{u"--frobnicate"_s} << 2
                                                          << u"Argomento sconosciuto: --frobnicate.\n"
                                                             u"Per l'aiuto: cedolario --help"_s;
    QTest::newRow("unknown option with a value")
        << QStringList{u"--frobnicate=3"_s} << 2 << u"Argomento sconosciuto: --frobnicate."_s;
    QTest::newRow("a stray word opens no window")
        << QStringList{u"soci.csv"_s} << 2 << u"Argomento inatteso: soci.csv."_s;
    QTest::newRow("two commands at once")
        << QStringList{u"--stampa"_s, u"a.csv"_s, u"--importa"_s, u"b.csv"_s} << 2
        << u"Un comando alla volta: --stampa e --importa non vanno insieme."_s;
    QTest::newRow("the same command twice")
        << QStringList{u"--importa"_s, u"a.csv"_s, u"--importa"_s, u"b.csv"_s} << 2
        << u"--importa vuole un solo argomento, il file CSV."_s;
    QTest::newRow("pdf with a value that is an option")
        << QStringList{u"--pdf"_s, u"--stampa"_s, u"a.csv"_s} << 2 << u"--pdf vuole due argomenti"_s;
    QTest::newRow("Qt's option without its value")
        << QStringList{u"-platform"_s} << 2 << u"-platform vuole un valore."_s;
    QTest::newRow("missing file") << QStringList{u"--importa"_s, u"/nonexistent/soci.csv"_s} << 2
                                  << u"Impossibile aprire il file "_s +
                                         QDir::toNativeSeparators(u"/nonexistent/soci.csv"_s);
    QTest::newRow("a file that is no list of slips")
        << QStringList{u"--importa"_s, QStringLiteral(CEDOLARIO_BINARY)} << 2 << u"byte nullo"_s;
}

void CommandLineTest::wrongUse()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, said);

    // Without a display and with xcb asked for: a window, or an application object on xcb, would abort
    // with 134; none is made.
    const Run run = cedolario(arguments, withoutDisplay());
    QCOMPARE(run.status, status);
    const QString& text = status == 0 ? run.out : run.err;
    QVERIFY2(text.contains(said), qPrintable(text));
}

void CommandLineTest::windowsWithoutADisplay()
{
#ifdef Q_OS_WIN
    QSKIP("Windows always has a screen for the windows");
#endif
    // The windows asked for where there is no display: said, not aborted.
    const Run run = cedolario({}, withoutDisplay());
    QCOMPARE(run.status, 2);
    QVERIFY2(run.err.contains(u"Non c'è uno schermo su cui aprire le finestre"_s), qPrintable(run.err));
}

void CommandLineTest::pdf()
{
    // Every row good: exit 0, one page a row, a report line a row; a command without windows runs
    // offscreen even where xcb is asked for and there is no display, and with Qt's options given.
    const QString all = m_dir.filePath(u"esempio.pdf"_s);
    Run run = cedolario({u"-platform"_s, u"xcb"_s, u"--pdf"_s, all, QStringLiteral(SAMPLE_SHEET)},
                        withoutDisplay());
    QCOMPARE(run.status, 0);
    QCOMPARE(pageCount(all), 3);
    QVERIFY2(run.err.contains(u"Riga 3: nel PDF, pagina 2 (Anna Bianchi, 35,00 euro).\n"_s),
             qPrintable(run.err));
    QVERIFY2(run.err.contains(u"Bollettini salvati in %1: 3."_s.arg(QDir::toNativeSeparators(all))),
             qPrintable(run.err));

    // Refused rows: the good ones are saved, each refused one said, and the status is 1.
    const QString some = m_dir.filePath(u"excel.pdf"_s);
    run = cedolario({u"--pdf"_s, some, fixture(u"excel-utf8-bom.csv"_s)});
    QCOMPARE(run.status, 1);
    QCOMPARE(pageCount(some), 4);
    QVERIFY2(run.err.contains(u"Riga 5, colonna «Conto»: "_s), qPrintable(run.err));
    QVERIFY2(run.err.contains(u"Riga 8, colonna «Nome»: "_s), qPrintable(run.err));
    QVERIFY2(run.err.contains(u"Colonne ignorate: «Note»."_s), qPrintable(run.err));

    // A PDF that cannot be written: status 1, nothing claimed done.
    run = cedolario({u"--pdf"_s, u"/nonexistent/dir/out.pdf"_s, QStringLiteral(SAMPLE_SHEET)});
    QCOMPARE(run.status, 1);
    QVERIFY2(run.err.contains(u"Il file PDF non è stato salvato"_s), qPrintable(run.err));
    QVERIFY2(!run.err.contains(u"Riga 2:"_s), qPrintable(run.err));
}

void CommandLineTest::import()
{
    const QString data = m_dir.filePath(u"data"_s);
    const QProcessEnvironment environment = environmentWith(u"XDG_DATA_HOME"_s, data);
    Run run = cedolario({u"--importa"_s, QStringLiteral(SAMPLE_SHEET)}, environment);
    QCOMPARE(run.status, 0);
    QFile archive(data + u"/cedolario/fillcp.dll"_s);
    QVERIFY2(archive.open(QIODevice::ReadOnly), qPrintable(run.err));
    const QByteArray first = archive.readAll();
    archive.close();
    QCOMPARE(first.count("?*@1\xE7*^\r\n"), 3);
    QVERIFY(first.contains("\r\n Nicol\xF2 Ferr\xE8\r\n"));
    QVERIFY2(run.err.contains(u"Riga 4: aggiunto all'archivio (Nicolò Ferrè, 17,50 euro).\n"_s),
             qPrintable(run.err));

    // Refused rows: the good ones go in, status 1.
    run = cedolario({u"--importa"_s, fixture(u"libreoffice-semicolon-1252.csv"_s)}, environment);
    QCOMPARE(run.status, 1);
    QVERIFY(archive.open(QIODevice::ReadOnly));
    QCOMPARE(archive.readAll().count("?*@1\xE7*^\r\n"), 3 + 5);
    archive.close();
    QVERIFY2(run.err.contains(u"righe scartate: 1."_s), qPrintable(run.err));

    // The first sheet again: nothing added twice, unless asked for.
    run = cedolario({u"--importa"_s, QStringLiteral(SAMPLE_SHEET)}, environment);
    QCOMPARE(run.status, 0);
    QVERIFY2(run.err.contains(u"Riga 4: già nell'archivio, saltata (Nicolò Ferrè, 17,50 euro).\n"_s),
             qPrintable(run.err));
    QVERIFY2(run.err.contains(u": 0; righe scartate: 0; già presenti, saltati: 3"_s), qPrintable(run.err));
    QVERIFY(archive.open(QIODevice::ReadOnly));
    QCOMPARE(archive.readAll().count("?*@1\xE7*^\r\n"), 3 + 5);
    archive.close();
    run = cedolario({u"--importa"_s, QStringLiteral(SAMPLE_SHEET), u"--anche-presenti"_s}, environment);
    QCOMPARE(run.status, 0);
    QVERIFY(archive.open(QIODevice::ReadOnly));
    QCOMPARE(archive.readAll().count("?*@1\xE7*^\r\n"), 3 + 5 + 3);
    archive.close();
    run = cedolario(
        {u"--pdf"_s, m_dir.filePath(u"x.pdf"_s), QStringLiteral(SAMPLE_SHEET), u"--anche-presenti"_s});
    QCOMPARE(run.status, 2);
    QVERIFY2(run.err.contains(u"--anche-presenti vale solo con --importa."_s), qPrintable(run.err));
}

// "%1" and "%2" in the PDF's and the archive's paths are reported as they are.
void CommandLineTest::namesWithPercentSigns()
{
    const QString pdf = m_dir.filePath(u"soci %2 %1.pdf"_s);
    Run run = cedolario({u"--pdf"_s, pdf, QStringLiteral(SAMPLE_SHEET)});
    QCOMPARE(run.status, 0);
    QCOMPARE(pageCount(pdf), 3);
    QVERIFY2(run.err.contains(u"\nBollettini salvati in "_s + QDir::toNativeSeparators(pdf) + u": 3.\n"_s),
             qPrintable(run.err));
    QVERIFY2(run.err.contains(u"Riga 3: nel PDF, pagina 2 (Anna Bianchi, 35,00 euro).\n"_s),
             qPrintable(run.err));

    const QString data = m_dir.filePath(u"dati %1%2"_s);
    run =
        cedolario({u"--importa"_s, QStringLiteral(SAMPLE_SHEET)}, environmentWith(u"XDG_DATA_HOME"_s, data));
    QCOMPARE(run.status, 0);
    QVERIFY2(run.err.contains(u"\nBollettini aggiunti all'archivio "_s +
                              QDir::toNativeSeparators(data + u"/cedolario/fillcp.dll"_s) +
                              u": 3; righe scartate: 0.\n"_s),
             qPrintable(run.err));
    QVERIFY2(run.err.contains(u"Riga 4: aggiunto all'archivio (Nicolò Ferrè, 17,50 euro).\n"_s),
             qPrintable(run.err));
}

// A file name with letters of several languages and signs reaches the program whole, on Windows too,
// where the program's arguments in the ANSI code page would have lost them.
void CommandLineTest::namesBeyondTheCodePage()
{
    const QString folder = m_dir.filePath(u"Società Łódź €"_s);
    QVERIFY(QDir().mkpath(folder));
    const QString pdf = folder + u"/quote ż ñ ő 日本.pdf"_s;
    const Run run = cedolario({u"--pdf"_s, pdf, QStringLiteral(SAMPLE_SHEET)});
    QCOMPARE(run.status, 0);
    QCOMPARE(pageCount(pdf), 3);
    QVERIFY2(run.err.contains(u"Bollettini salvati in "_s + QDir::toNativeSeparators(pdf) + u": 3."_s),
             qPrintable(run.err));
}

void CommandLineTest::printWithARefusingQueueInTheMiddle()
{
#ifdef Q_OS_WIN
    QSKIP("CUPS's queues and PRINTER are Linux's");
#endif
    if (qEnvironmentVariableIsEmpty("CEDOLARIO_CUPS_PDF_DIR") || qEnvironmentVariableIsEmpty("CUPS_SERVER"))
        QSKIP("No private CUPS was started (./scripts/test starts one when run as root)");
    if (qEnvironmentVariableIsEmpty("CEDOLARIO_CUPS_REFUSING"))
        QSKIP("The private CUPS has no queue that refuses jobs");
    const QDir output(qEnvironmentVariable("CEDOLARIO_CUPS_PDF_DIR"));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(u"LPDEST"_s);
    environment.remove(u"PRINTER"_s);

    // The default queue takes one job of three pages.
    QHash<QString, QDateTime> before = pdfFiles(output);
    Run run = cedolario({u"--stampa"_s, QStringLiteral(SAMPLE_SHEET)}, environment);
    QCOMPARE(run.status, 0);
    QVERIFY2(run.err.contains(u"Bollettini stampati in un solo lavoro: 3."_s), qPrintable(run.err));
    QVERIFY(jobArrived(before, 3));

    // A queue that refuses jobs: status 1, no row said printed.
    QProcessEnvironment refusing = environment;
    refusing.insert(u"PRINTER"_s, qEnvironmentVariable("CEDOLARIO_CUPS_REFUSING"));
    run = cedolario({u"--stampa"_s, QStringLiteral(SAMPLE_SHEET)}, refusing);
    QCOMPARE(run.status, 1);
    QVERIFY2(run.err.contains(u"Nessun bollettino è stato stampato."_s), qPrintable(run.err));
    QVERIFY2(!run.err.contains(u"Riga 2:"_s), qPrintable(run.err));

    // The default queue again: the next run prints, and only its own job arrives.
    before = pdfFiles(output);
    run = cedolario({u"--stampa"_s, QStringLiteral(SAMPLE_SHEET)}, environment);
    QCOMPARE(run.status, 0);
    QVERIFY(jobArrived(before, 3));
}

void CommandLineTest::printWithoutCups()
{
#ifdef Q_OS_WIN
    QSKIP("CUPS is the printing service of Linux");
#endif
    // CUPS not answering is said as such, never as a missing default printer.
    QProcessEnvironment environment = environmentWith(u"CUPS_SERVER"_s, m_dir.filePath(u"no-cupsd.sock"_s));
    environment.remove(u"LPDEST"_s);
    environment.remove(u"PRINTER"_s);
    const Run run = cedolario({u"--stampa"_s, QStringLiteral(SAMPLE_SHEET)}, environment);
    QCOMPARE(run.status, 1);
    QVERIFY2(
        run.err.contains(u"Nessun bollettino è stato stampato: il servizio di stampa (CUPS) non risponde."_s),
        qPrintable(run.err));
    QVERIFY2(!run.err.contains(u"predefinita"_s), qPrintable(run.err));
}

void CommandLineTest::printerNamedByTheEnvironment()
{
#ifdef Q_OS_WIN
    QSKIP("CUPS's queues and PRINTER are Linux's");
#endif
    if (qEnvironmentVariableIsEmpty("CEDOLARIO_CUPS_PDF_DIR") || qEnvironmentVariableIsEmpty("CUPS_SERVER"))
        QSKIP("No private CUPS was started (./scripts/test starts one when run as root)");
    QProcessEnvironment environment = environmentWith(u"PRINTER"_s, u"nonesuch"_s);
    environment.remove(u"LPDEST"_s);
    Run run = cedolario({u"--stampa"_s, QStringLiteral(SAMPLE_SHEET)}, environment);
    QCOMPARE(run.status, 1);
    QVERIFY2(run.err.contains(u"Nessun bollettino è stato stampato: la stampante «nonesuch» indicata da "
                              u"PRINTER non esiste."_s),
             qPrintable(run.err));

    // LPDEST comes before PRINTER, as for lp.
    environment.insert(u"LPDEST"_s, u"altrove"_s);
    run = cedolario({u"--stampa"_s, QStringLiteral(SAMPLE_SHEET)}, environment);
    QCOMPARE(run.status, 1);
    QVERIFY2(run.err.contains(u"la stampante «altrove» indicata da LPDEST non esiste."_s),
             qPrintable(run.err));

    // A queue that refuses gives its own reason.
    if (qEnvironmentVariableIsEmpty("CEDOLARIO_CUPS_REFUSING"))
        QSKIP("The private CUPS has no queue that refuses jobs");
    environment.remove(u"LPDEST"_s);
    environment.insert(u"PRINTER"_s, qEnvironmentVariable("CEDOLARIO_CUPS_REFUSING"));
    run = cedolario({u"--stampa"_s, QStringLiteral(SAMPLE_SHEET)}, environment);
    QCOMPARE(run.status, 1);
    QVERIFY2(run.err.contains(u"non accetta lavori: «Coda chiusa per la prova»"_s), qPrintable(run.err));

    // A stopped one too, for the job left waiting there.
    if (qEnvironmentVariableIsEmpty("CEDOLARIO_CUPS_STOPPED"))
        QSKIP("The private CUPS has no stopped queue");
    environment.insert(u"PRINTER"_s, qEnvironmentVariable("CEDOLARIO_CUPS_STOPPED"));
    run = cedolario({u"--stampa"_s, QStringLiteral(SAMPLE_SHEET)}, environment);
    QCOMPARE(run.status, 1);
    QVERIFY2(run.err.contains(u"è ferma: «Stampante ferma per la prova» e il lavoro attende"_s),
             qPrintable(run.err));
}

QTEST_GUILESS_MAIN(CommandLineTest)
#include "CommandLineTest.moc"
