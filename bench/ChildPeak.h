// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QByteArrayList>

#include <benchmark/benchmark.h>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <vector>

extern char** environ;

// The number a fresh run of the program at self writes on its standard output, the resident memory in
// KiB it measured of itself, in MiB; -1 when it could not be run or failed.
inline double childPeakMiB(const QByteArray& self, const QByteArrayList& arguments)
{
    std::vector<char*> argv{const_cast<char*>(self.constData())};
    for (const QByteArray& argument : arguments)
        argv.push_back(const_cast<char*>(argument.constData()));
    argv.push_back(nullptr);
    int pipeEnds[2];
    if (::pipe(pipeEnds) != 0)
        return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], 1);
    posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
    pid_t child = -1;
    const int spawned = ::posix_spawn(&child, self.constData(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeEnds[1]);
    QByteArray answer;
    char buffer[64];
    ssize_t got = 0;
    while (spawned == 0 && (got = ::read(pipeEnds[0], buffer, sizeof buffer)) > 0)
        answer.append(buffer, got);
    ::close(pipeEnds[0]);
    int status = 0;
    if (spawned != 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status))
        return -1;
    return double(answer.toLongLong()) / 1024.0;
}

// Measures once an iteration of state with measure (a fresh child's peak in MiB, -1 when it failed),
// telling a failed child; the last peak measured.
template <typename Measure> double repeatedChildPeak(benchmark::State& state, Measure measure)
{
    double peak = 0;
    for (auto _ : state) {
        peak = measure();
        if (peak < 0)
            state.SkipWithError("the child failed");
    }
    return peak;
}
