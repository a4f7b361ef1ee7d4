// cedolario --help, --stampa, --pdf and --importa, run as a script runs them: the exit status and the
// Italian report on standard error.
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

} // namespace

class CommandLineTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void wrongUse_data();
    void wrongUse();

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

QTEST_GUILESS_MAIN(CommandLineTest)
#include "CommandLineTest.moc"
