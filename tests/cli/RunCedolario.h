// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

// The real cedolario binary run as a script runs it: its exit status and what it wrote, or status -1
// when it did not end by itself within two minutes. Lines end in "\n" on every system.
struct Run {
    int status = -1;
    QString out;
    QString err;
};

inline Run runCedolario(const QStringList& arguments,
                        const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment())
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(CEDOLARIO_BINARY), arguments);
    Run run;
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit)
        return run;
    run.status = process.exitCode();
    // A console program on Windows ends its lines with CR LF, as cmd.exe shows them.
    run.out = QString::fromUtf8(process.readAllStandardOutput())
                  .replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    run.err = QString::fromUtf8(process.readAllStandardError())
                  .replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return run;
}
