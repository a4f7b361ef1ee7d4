// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// Turns the JSON output of Google Benchmark executables into the figures of docs/benchmarks.md.
// One executable makes one section; how a benchmark names its section and its reference is set out
// at the top of bench/CMakeLists.txt.

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>

// One figure: the median real time per iteration of one benchmark instance.
struct BenchFigure {
    QString family;    // the name up to the first '/': "LoadArchive"
    QString arguments; // what follows, without the run options: "1000"
    double nanoseconds = 0;
    double bytesPerSecond = 0;
    double itemsPerSecond = 0;
    QString error; // set when the benchmark reported an error instead of a time
};

struct BenchSection {
    QString executable;
    QString title;
    QString about;
    QList<BenchFigure> figures;         // in the order the executable ran them
    QHash<QString, QString> references; // measured family -> reference family
};

struct MachineInfo {
    QString cpu;
    int cores = 0;
    qint64 memoryBytes = 0;
    QString os;
    QString compiler;
    QString qt;
    QString buildType;
    QString date;
};

namespace BenchReport {

inline const QString FiguresHeading = QStringLiteral("## Measured figures");

// Reads one executable's --benchmark_format=json output into section; false, with the reason in
// errorText and section untouched, when it is not that.
bool parseSection(const QByteArray& json, BenchSection& section, QString& errorText);

// The reference figure of `figure` in its section: the reference family's figure with the same
// arguments, else the reference family's only figure; nullptr when there is none.
const BenchFigure* referenceOf(const BenchSection& section, const BenchFigure& figure);

// Three significant digits and a unit: "12.3 ns", "1.00 µs", "250 ms", "1.50 s".
QString formatDuration(double nanoseconds);
// Three significant digits: "0.0123", "1.50", "12.3", "1234".
QString formatSignificant(double value);

QString renderSection(const BenchSection& section);
// The whole text under FiguresHeading, heading included.
QString renderFigures(const MachineInfo& machine, const QList<BenchSection>& sections);

// `document` with the section that starts at the line `heading` (up to the next "## " heading)
// replaced by `section`; the section is appended when the heading is missing.
QString spliceSection(const QString& document, const QString& heading, const QString& section);

// "model name" of /proc/cpuinfo; empty when absent.
QString cpuModel(const QString& cpuinfo);
// MemTotal of /proc/meminfo in bytes; 0 when absent.
qint64 totalMemory(const QString& meminfo);

} // namespace BenchReport
