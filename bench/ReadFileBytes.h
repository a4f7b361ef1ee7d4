// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <benchmark/benchmark.h>

// The reference of the benchmarks that read a file: its bytes read whole into memory, each iteration
// (from the page cache after the first), with the bytes counted for the throughput column.
inline void ReadFileBytes(benchmark::State& state, const QString& path)
{
    qint64 bytes = 0;
    for (auto _ : state) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            state.SkipWithError("the file cannot be opened");
            return;
        }
        const QByteArray data = file.readAll();
        bytes = data.size();
        benchmark::DoNotOptimize(data.constData());
    }
    state.SetBytesProcessed(state.iterations() * bytes);
}
