// SPDX-License-Identifier: GPL-3.0-or-later

#include "BenchReport.h"

#include <QtTest>

class BenchReportTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void formatsDurations_data();
    void formatsDurations();
    void parsesFigures_data();
    void parsesFigures();
    void rejectsOtherInput_data();
    void rejectsOtherInput();
    void rendersSectionTable_data();
    void rendersSectionTable();
    void splicesIntoDocument_data();
    void splicesIntoDocument();
    void readsMachineFiles_data();
    void readsMachineFiles();
};

namespace {

// A Google Benchmark JSON document with the given context entries and runs.
QByteArray benchmarkJson(const QString& contextEntries, const QString& runs)
{
    return QStringLiteral(
               R"({"context": {"date": "2026-12-08T04:00:00+00:00", "executable": "/b/bench_archive" %1},
                              "benchmarks": [%2]})")
        .arg(contextEntries, runs)
        .toUtf8();
}

QString run(const QString& name, double realTime, const QString& unit, const QString& extra = QString())
{
    return QStringLiteral(R"({"name": "%1", "run_name": "%1", "run_type": "iteration", "real_time": %2,
                              "cpu_time": 1, "time_unit": "%3" %4})")
        .arg(name)
        .arg(realTime, 0, 'g', 17)
        .arg(unit, extra);
}

QString figureText(const BenchFigure& figure)
{
    QString text = figure.family + QLatin1Char('|') + figure.arguments + QLatin1Char('|');
    return figure.error.isEmpty() ? text + QString::number(figure.nanoseconds, 'g', 10)
                                  : text + QStringLiteral("error ") + figure.error;
}

} // namespace

void BenchReportTest::formatsDurations_data()
{
    QTest::addColumn<double>("nanoseconds");
    QTest::addColumn<QString>("expected");

    QTest::newRow("below one nanosecond") << 0.45678 << QStringLiteral("0.457 ns");
    QTest::newRow("nanoseconds, two decimals") << 2.5 << QStringLiteral("2.50 ns");
    QTest::newRow("tens of nanoseconds") << 12.345 << QStringLiteral("12.3 ns");
    QTest::newRow("rounding adds a digit") << 9.996 << QStringLiteral("10.0 ns");
    QTest::newRow("just under a microsecond") << 999.4 << QStringLiteral("999 ns");
    QTest::newRow("rounds up into microseconds") << 999.6 << QStringLiteral("1.00 µs");
    QTest::newRow("microseconds") << 1234.5 << QStringLiteral("1.23 µs");
    QTest::newRow("hundreds of microseconds") << 123456.0 << QStringLiteral("123 µs");
    QTest::newRow("rounds up into milliseconds") << 999'999.0 << QStringLiteral("1.00 ms");
    QTest::newRow("milliseconds") << 46.6e6 << QStringLiteral("46.6 ms");
    QTest::newRow("seconds") << 1.5e9 << QStringLiteral("1.50 s");
    QTest::newRow("thousands of seconds keep every digit") << 1234.4e9 << QStringLiteral("1234 s");
}

void BenchReportTest::formatsDurations()
{
    QFETCH(double, nanoseconds);
    QFETCH(QString, expected);
    QCOMPARE(BenchReport::formatDuration(nanoseconds), expected);
}

void BenchReportTest::parsesFigures_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QStringList>("expected"); // family|arguments|nanoseconds or error

    QTest::newRow("time units converted to nanoseconds")
        << benchmarkJson(QString(), run(QStringLiteral("A"), 1.5, QStringLiteral("us")) + QLatin1Char(',') +
                                        run(QStringLiteral("B"), 2, QStringLiteral("ms")) + QLatin1Char(',') +
                                        run(QStringLiteral("C"), 3, QStringLiteral("s")) + QLatin1Char(',') +
                                        run(QStringLiteral("D"), 4, QStringLiteral("ns")))
        << QStringList{QStringLiteral("A||1500"), QStringLiteral("B||2000000"),
                       QStringLiteral("C||3000000000"), QStringLiteral("D||4")};
    QTest::newRow("run options are not arguments")
        << benchmarkJson(
               QString(),
               run(QStringLiteral("LoadArchive/1000/min_time:2.000/real_time"), 7, QStringLiteral("ns")) +
                   QLatin1Char(',') +
                   run(QStringLiteral("Pair/3/4/iterations:10/repeats:2/threads:1"), 8, QStringLiteral("ns")))
        << QStringList{QStringLiteral("LoadArchive|1000|7"), QStringLiteral("Pair|3/4|8")};
    QTest::newRow("median of odd repetitions")
        << benchmarkJson(QString(), run(QStringLiteral("A"), 30, QStringLiteral("ns")) + QLatin1Char(',') +
                                        run(QStringLiteral("A"), 10, QStringLiteral("ns")) +
                                        QLatin1Char(',') + run(QStringLiteral("A"), 20, QStringLiteral("ns")))
        << QStringList{QStringLiteral("A||20")};
    QTest::newRow("median of even repetitions")
        << benchmarkJson(QString(),
                         run(QStringLiteral("A"), 40, QStringLiteral("ns")) + QLatin1Char(',') +
                             run(QStringLiteral("A"), 10, QStringLiteral("ns")) + QLatin1Char(',') +
                             run(QStringLiteral("A"), 20, QStringLiteral("ns")) + QLatin1Char(',') +
                             run(QStringLiteral("A"), 100, QStringLiteral("ns")))
        << QStringList{QStringLiteral("A||30")};
    QTest::newRow("median aggregate wins over mean and repetitions")
        << benchmarkJson(
               QString(),
               run(QStringLiteral("A/real_time"), 10, QStringLiteral("ms")) + QLatin1Char(',') +
                   QStringLiteral(
                       R"({"name": "A/real_time_mean", "run_name": "A/real_time", "run_type": "aggregate",
                           "aggregate_name": "mean", "real_time": 50, "time_unit": "ms"},
                          {"name": "A/real_time_median", "run_name": "A/real_time", "run_type": "aggregate",
                           "aggregate_name": "median", "real_time": 12, "time_unit": "ms"})"))
        << QStringList{QStringLiteral("A||12000000")};
    QTest::newRow("error reported instead of a time")
        << benchmarkJson(QString(),
                         run(QStringLiteral("A/1"), 0, QStringLiteral("ns"),
                             QStringLiteral(R"(, "error_occurred": true, "error_message": "no display")")) +
                             QLatin1Char(',') + run(QStringLiteral("A/2"), 5, QStringLiteral("ns")))
        << QStringList{QStringLiteral("A|1|error no display"), QStringLiteral("A|2|5")};
    QTest::newRow("order of first appearance kept")
        << benchmarkJson(QString(), run(QStringLiteral("Z"), 1, QStringLiteral("ns")) + QLatin1Char(',') +
                                        run(QStringLiteral("A"), 2, QStringLiteral("ns")) + QLatin1Char(',') +
                                        run(QStringLiteral("Z"), 3, QStringLiteral("ns")))
        << QStringList{QStringLiteral("Z||2"), QStringLiteral("A||2")};
}

void BenchReportTest::parsesFigures()
{
    QFETCH(QByteArray, json);
    QFETCH(QStringList, expected);

    QString error;
    BenchSection section;
    QVERIFY2(BenchReport::parseSection(json, section, error), qPrintable(error));
    QStringList actual;
    for (const BenchFigure& figure : section.figures)
        actual << figureText(figure);
    QCOMPARE(actual, expected);
}

void BenchReportTest::rejectsOtherInput_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QString>("errorStart");

    QTest::newRow("console output") << QByteArray("Benchmark  Time  CPU\nA  1 ns  1 ns\n")
                                    << QStringLiteral("not JSON");
    QTest::newRow("empty file") << QByteArray() << QStringLiteral("not JSON");
    QTest::newRow("other JSON") << QByteArray(R"({"tests": []})") << QStringLiteral("no \"context\"");
    QTest::newRow("JSON array") << QByteArray("[1, 2]") << QStringLiteral("not JSON");
}

void BenchReportTest::rejectsOtherInput()
{
    QFETCH(QByteArray, input);
    QFETCH(QString, errorStart);

    QString error;
    BenchSection section;
    QVERIFY(!BenchReport::parseSection(input, section, error));
    QVERIFY2(error.startsWith(errorStart), qPrintable(error));
}

void BenchReportTest::rendersSectionTable_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QString>("expected");

    const QString header = QStringLiteral("| Benchmark | Time | Reference | Reference time | Ratio |\n"
                                          "|---|--:|---|--:|--:|\n");

    QTest::newRow("reference with the same arguments")
        << benchmarkJson(
               QStringLiteral(R"(, "cedolario.section": "Archive list load",
                                           "cedolario.about": "Loads N records.",
                                           "cedolario.reference.LoadArchive": "ReadBytes")"),
               run(QStringLiteral("ReadBytes/1000"), 10, QStringLiteral("us")) + QLatin1Char(',') +
                   run(QStringLiteral("LoadArchive/1000"), 25, QStringLiteral("us")) + QLatin1Char(',') +
                   run(QStringLiteral("ReadBytes/1000000"), 8, QStringLiteral("ms")) + QLatin1Char(',') +
                   run(QStringLiteral("LoadArchive/1000000"), 40, QStringLiteral("ms")))
        << QStringLiteral("### Archive list load\n\nLoads N records.\n\n") + header +
               QStringLiteral(
                   "| `LoadArchive/1000` | 25.0 µs | `ReadBytes/1000` | 10.0 µs | 2.50 × |\n"
                   "| `LoadArchive/1000000` | 40.0 ms | `ReadBytes/1000000` | 8.00 ms | 5.00 × |\n");
    QTest::newRow("one reference without arguments for every size")
        << benchmarkJson(QStringLiteral(R"(, "cedolario.section": "Words",
                                           "cedolario.reference.Words": "Copy")"),
                         run(QStringLiteral("Words/1"), 300, QStringLiteral("ns")) + QLatin1Char(',') +
                             run(QStringLiteral("Words/999999"), 900, QStringLiteral("ns")) +
                             QLatin1Char(',') + run(QStringLiteral("Copy"), 30, QStringLiteral("ns")))
        << QStringLiteral("### Words\n\n") + header +
               QStringLiteral("| `Words/1` | 300 ns | `Copy` | 30.0 ns | 10.0 × |\n"
                              "| `Words/999999` | 900 ns | `Copy` | 30.0 ns | 30.0 × |\n");
    QTest::newRow("chain of references and a figure without one")
        << benchmarkJson(QStringLiteral(R"(, "cedolario.section": "Start-up",
                                           "cedolario.reference.App": "Empty",
                                           "cedolario.reference.Empty": "Bare")"),
                         run(QStringLiteral("Bare"), 40, QStringLiteral("ms")) + QLatin1Char(',') +
                             run(QStringLiteral("Empty"), 50, QStringLiteral("ms")) + QLatin1Char(',') +
                             run(QStringLiteral("App"), 75, QStringLiteral("ms")) + QLatin1Char(',') +
                             run(QStringLiteral("Other"), 1, QStringLiteral("ms")))
        << QStringLiteral("### Start-up\n\n") + header +
               QStringLiteral("| `Empty` | 50.0 ms | `Bare` | 40.0 ms | 1.25 × |\n"
                              "| `App` | 75.0 ms | `Empty` | 50.0 ms | 1.50 × |\n"
                              "| `Other` | 1.00 ms | — | — | — |\n");
    QTest::newRow("failures shown, no ratio")
        << benchmarkJson(
               QStringLiteral(R"(, "cedolario.reference.A": "R", "cedolario.reference.B": "S")"),
               run(QStringLiteral("R"), 0, QStringLiteral("ns"),
                   QStringLiteral(R"(, "error_occurred": true, "error_message": "no | display")")) +
                   QLatin1Char(',') + run(QStringLiteral("A"), 5, QStringLiteral("ns")) + QLatin1Char(',') +
                   run(QStringLiteral("S"), 0, QStringLiteral("ns")) + QLatin1Char(',') +
                   run(QStringLiteral("B"), 0, QStringLiteral("ns"),
                       QStringLiteral(R"(, "error_occurred": true, "error_message": "bad result")")))
        << QStringLiteral("### bench_archive\n\n") + header +
               QStringLiteral("| `A` | 5.00 ns | `R` | failed: no \\| display | — |\n"
                              "| `B` | failed: bad result | `S` | 0 ns | — |\n");
    QTest::newRow("reference named but not run")
        << benchmarkJson(QStringLiteral(R"(, "cedolario.reference.A": "Missing")"),
                         run(QStringLiteral("A"), 5, QStringLiteral("ns")))
        << QStringLiteral("### bench_archive\n\n") + header +
               QStringLiteral("| `A` | 5.00 ns | — | — | — |\n");
    QTest::newRow("throughput column when a figure has one")
        << benchmarkJson(QStringLiteral(R"(, "cedolario.reference.Load": "Read")"),
                         run(QStringLiteral("Read"), 1, QStringLiteral("ms"),
                             QStringLiteral(R"(, "bytes_per_second": 1048576000)")) +
                             QLatin1Char(',') +
                             run(QStringLiteral("Load"), 4, QStringLiteral("ms"),
                                 QStringLiteral(R"(, "items_per_second": 2500000)")) +
                             QLatin1Char(',') + run(QStringLiteral("Plain"), 2, QStringLiteral("ms")))
        << QStringLiteral("### bench_archive\n\n"
                          "| Benchmark | Time | Reference | Reference time | Ratio | Throughput |\n"
                          "|---|--:|---|--:|--:|--:|\n"
                          "| `Load` | 4.00 ms | `Read` | 1.00 ms | 4.00 × | 2.50 M/s |\n"
                          "| `Plain` | 2.00 ms | — | — | — |  |\n");
}

void BenchReportTest::rendersSectionTable()
{
    QFETCH(QByteArray, json);
    QFETCH(QString, expected);

    QString error;
    BenchSection section;
    QVERIFY2(BenchReport::parseSection(json, section, error), qPrintable(error));
    QCOMPARE(BenchReport::renderSection(section), expected);
}

void BenchReportTest::splicesIntoDocument_data()
{
    QTest::addColumn<QString>("document");
    QTest::addColumn<QString>("expected");

    const QString figures = QStringLiteral("## Measured figures\n\nnew table\n");

    QTest::newRow("empty document") << QString() << figures;
    QTest::newRow("no figures yet: appended after the text")
        << QStringLiteral("# Benchmarks\n\n## Archive\n\nNotes.\n\n")
        << QStringLiteral("# Benchmarks\n\n## Archive\n\nNotes.\n\n## Measured figures\n\nnew table\n");
    QTest::newRow("figures last: replaced to the end")
        << QStringLiteral("# Benchmarks\n\n## Measured figures\n\nold table\n\n### Start-up\n\nold rows\n")
        << QStringLiteral("# Benchmarks\n\n## Measured figures\n\nnew table\n");
    QTest::newRow("figures between hand-written sections: only they change")
        << QStringLiteral("# Benchmarks\n\n## Archive\n\nNotes.\n\n## Measured figures\n\nold\n\n"
                          "## Printing\n\nMore notes.\n")
        << QStringLiteral("# Benchmarks\n\n## Archive\n\nNotes.\n\n## Measured figures\n\nnew table\n\n"
                          "## Printing\n\nMore notes.\n");
    QTest::newRow("a longer heading is not the figures")
        << QStringLiteral("## Measured figures of 2025\n\nkept\n")
        << QStringLiteral("## Measured figures of 2025\n\nkept\n\n## Measured figures\n\nnew table\n");
}

void BenchReportTest::splicesIntoDocument()
{
    QFETCH(QString, document);
    QFETCH(QString, expected);
    QCOMPARE(BenchReport::spliceSection(document, BenchReport::FiguresHeading,
                                        QStringLiteral("## Measured figures\n\nnew table\n")),
             expected);
}

void BenchReportTest::readsMachineFiles_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("cpu");
    QTest::addColumn<qint64>("memory");

    QTest::newRow("cpuinfo")
        << QStringLiteral("processor\t: 0\nvendor_id\t: AuthenticAMD\nmodel\t\t: 1\n"
                          "model name\t: AMD EPYC 7B13\nprocessor\t: 1\nmodel name\t: AMD EPYC 7B13\n")
        << QStringLiteral("AMD EPYC 7B13") << qint64(0);
    QTest::newRow("meminfo in kB") << QStringLiteral(
                                          "MemTotal:       24589876 kB\nMemFree:        20000000 kB\n")
                                   << QString() << qint64(25180033024);
    QTest::newRow("neither") << QStringLiteral("garbage\n") << QString() << qint64(0);
}

void BenchReportTest::readsMachineFiles()
{
    QFETCH(QString, text);
    QFETCH(QString, cpu);
    QFETCH(qint64, memory);
    QCOMPARE(BenchReport::cpuModel(text), cpu);
    QCOMPARE(BenchReport::totalMemory(text), memory);
}

QTEST_GUILESS_MAIN(BenchReportTest)
#include "BenchReportTest.moc"
