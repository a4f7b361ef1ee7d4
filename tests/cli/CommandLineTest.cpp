// cedolario --help, --stampa, --pdf and --importa, run as a script runs them: the exit status and the
// Italian report on standard error.
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

struct Run {
    int status = -1;
    QString out;
    QString err;
};

Run cedolario(const QStringList& arguments,
              const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment())
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(CEDOLARIO_BINARY), arguments);
    Run run;
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit)
        return run;
    run.status = process.exitCode();
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

QString fixture(const QString& name)
{
    return QStringLiteral(SHEET_DATA_DIR "/") + name;
}

// The number of pages of a PDF file, by poppler's pdfinfo; -1 when it cannot be read.
int pageCount(const QString& pdf)
{
    QProcess process;
    process.start(u"pdfinfo"_s, {pdf});
    if (!process.waitForFinished(30000) || process.exitCode() != 0)
        return -1;
    for (const QString& line : QString::fromUtf8(process.readAllStandardOutput()).split(u'\n')) {
        if (line.startsWith(u"Pages:"_s))
            return line.mid(6).trimmed().toInt();
    }
    return -1;
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
    void pdf();
    void import();
    void printWithARefusingQueueInTheMiddle();

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
    QTest::newRow("missing file") << QStringList{u"--importa"_s, u"/nonexistent/soci.csv"_s} << 2
                                  << u"Impossibile aprire il file /nonexistent/soci.csv"_s;
    QTest::newRow("a file that is no list of slips")
        << QStringList{u"--importa"_s, QStringLiteral(CEDOLARIO_BINARY)} << 2 << u"non nomina nessun campo"_s;
}

void CommandLineTest::wrongUse()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, said);

    const Run run = cedolario(arguments);
    QCOMPARE(run.status, status);
    const QString& text = status == 0 ? run.out : run.err;
    QVERIFY2(text.contains(said), qPrintable(text));
}

void CommandLineTest::pdf()
{
    // Every row good: exit 0, one page a row, a report line a row.
    const QString all = m_dir.filePath(u"esempio.pdf"_s);
    Run run = cedolario({u"--pdf"_s, all, QStringLiteral(SAMPLE_SHEET)});
    QCOMPARE(run.status, 0);
    QCOMPARE(pageCount(all), 3);
    QVERIFY2(run.err.contains(u"Riga 3: nel PDF, pagina 2 (Anna Bianchi, 35,00 euro).\n"_s),
             qPrintable(run.err));
    QVERIFY2(run.err.contains(u"Bollettini salvati in %1: 3."_s.arg(all)), qPrintable(run.err));

    // Refused rows: the good ones are saved, each refused one said, and the status is 1.
    const QString some = m_dir.filePath(u"excel.pdf"_s);
    run = cedolario({u"--pdf"_s, some, fixture(u"excel-utf8-bom.csv"_s)});
    QCOMPARE(run.status, 1);
    QCOMPARE(pageCount(some), 3);
    QVERIFY2(run.err.contains(u"Riga 4, colonna «Importo»: "_s), qPrintable(run.err));
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
    QCOMPARE(archive.readAll().count("?*@1\xE7*^\r\n"), 3 + 4);
    archive.close();
    QVERIFY2(run.err.contains(u"righe scartate: 2."_s), qPrintable(run.err));
}

void CommandLineTest::printWithARefusingQueueInTheMiddle()
{
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

QTEST_GUILESS_MAIN(CommandLineTest)
#include "CommandLineTest.moc"
