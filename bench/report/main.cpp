// SPDX-License-Identifier: GPL-3.0-or-later

// cedolario_bench_report DOCUMENT RESULT.json...
// Rewrites the measured figures of DOCUMENT (docs/benchmarks.md) from the benchmarks' JSON output and
// the description of this machine; the rest of the document is kept as it is.
#include "BenchReport.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QSaveFile>
#include <QSysInfo>
#include <QThread>

#include <cstdio>

namespace {

QString readText(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

MachineInfo thisMachine()
{
    MachineInfo machine;
    machine.cpu = BenchReport::cpuModel(readText(QStringLiteral("/proc/cpuinfo")));
    machine.cores = QThread::idealThreadCount();
    machine.memoryBytes = BenchReport::totalMemory(readText(QStringLiteral("/proc/meminfo")));
    machine.os = QSysInfo::prettyProductName() + QStringLiteral(", kernel ") + QSysInfo::kernelVersion();
    machine.compiler = QStringLiteral(CEDOLARIO_COMPILER);
    machine.qt = QString::fromLatin1(qVersion());
    machine.buildType = QStringLiteral(CEDOLARIO_BUILD_TYPE);
    machine.date = QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyy-MM-dd HH:mm 'UTC'"));
    return machine;
}

int failWith(const QString& message)
{
    std::fprintf(stderr, "cedolario_bench_report: %s\n", qPrintable(message));
    return 1;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments().mid(1);
    if (arguments.size() < 2)
        return failWith(QStringLiteral("usage: cedolario_bench_report DOCUMENT RESULT.json..."));

    QList<BenchSection> sections;
    for (const QString& path : arguments.mid(1)) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return failWith(path + QStringLiteral(": ") + file.errorString());
        QString error;
        BenchSection section;
        if (!BenchReport::parseSection(file.readAll(), section, error))
            return failWith(path + QStringLiteral(": ") + error);
        sections.append(section);
    }

    const QString documentPath = arguments.first();
    QString document = readText(documentPath);
    if (document.isEmpty())
        document = QStringLiteral("# Benchmarks\n");
    const QString figures = BenchReport::renderFigures(thisMachine(), sections);
    QSaveFile out(documentPath);
    if (!out.open(QIODevice::WriteOnly) ||
        out.write(BenchReport::spliceSection(document, BenchReport::FiguresHeading, figures).toUtf8()) < 0 ||
        !out.commit())
        return failWith(documentPath + QStringLiteral(": ") + out.errorString());
    return 0;
}
