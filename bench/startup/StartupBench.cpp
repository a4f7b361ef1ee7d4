// SPDX-License-Identifier: GPL-3.0-or-later

// Start-up time: from launching a program to its first painted window, on a real X display
// (./scripts/bench runs this under xvfb-run when there is no display). Each launched program ends
// itself right after its first paint (FirstPaintExit), so one iteration is one whole launch.
#include "core/archive/ArchiveDates.h"
#include "core/archive/SlipRecord.h"

#include <QDate>
#include <QFile>
#include <QLocale>

#include <benchmark/benchmark.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

const bool described = [] {
    benchmark::AddCustomContext("cedolario.section", "Start-up to the first painted window");
    benchmark::AddCustomContext(
        "cedolario.about",
        "One launch until the first window has painted on an X display (Xvfb), timed over repeated "
        "launches. `StartCedolario` starts the application as `main()` does (with an archive of its "
        "own, empty) and stops when the slip form has painted, the palette having come up first; "
        "`StartCedolarioMillion` does the same with an archive of 1 000 000 records (about 225 bytes "
        "each, as the save writes them), against `ReadMillionArchiveBytes`, which only reads that "
        "file's bytes into memory (from the page cache, as the launches find it); "
        "`StartEmptyWindow` shows an empty Qt window; `StartNoWindow` only connects a Qt widget "
        "application to the display.");
    benchmark::AddCustomContext("cedolario.reference.StartCedolario", "StartEmptyWindow");
    benchmark::AddCustomContext("cedolario.reference.StartCedolarioMillion", "ReadMillionArchiveBytes");
    benchmark::AddCustomContext("cedolario.reference.StartEmptyWindow", "StartNoWindow");
    return true;
}();

// The launched programs write their messages here rather than into the benchmark's report.
std::string messageLog()
{
    return (std::filesystem::temp_directory_path() /
            ("cedolario-startup-" + std::to_string(getpid()) + ".log"))
        .string();
}

// The last line the launched program wrote, to say why it failed.
std::string lastMessage()
{
    std::ifstream log(messageLog());
    std::string line;
    std::string last;
    while (std::getline(log, line)) {
        if (!line.empty())
            last = line;
    }
    return last.empty() ? std::string() : " (last message: " + last + ")";
}

// Runs `program` (with one argument, when given) to its end; an empty text, or what went wrong.
std::string launch(const char* program, const char* argument)
{
    char* const argv[] = {const_cast<char*>(program), const_cast<char*>(argument), nullptr};
    const std::string log = messageLog();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    pid_t child = 0;
    const int spawnError = posix_spawn(&child, program, &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    const std::string name = std::filesystem::path(program).filename().string();
    if (spawnError != 0)
        return "cannot start " + name + ": " + std::strerror(spawnError);
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR)
            return std::string("waitpid: ") + std::strerror(errno);
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0)
        return std::string();
    if (WIFEXITED(status) && WEXITSTATUS(status) == 3)
        return name + " painted no window within a minute";
    if (WIFEXITED(status))
        return name + " exited with status " + std::to_string(WEXITSTATUS(status)) + lastMessage();
    return name + " was killed by signal " + std::to_string(WTERMSIG(status)) + lastMessage();
}

void timeLaunches(benchmark::State& state, const char* program, const char* argument = nullptr)
{
    const auto isSet = [](const char* name) { return std::getenv(name) && *std::getenv(name); };
    if (!isSet("DISPLAY") && !isSet("WAYLAND_DISPLAY")) {
        state.SkipWithError("no display: run under xvfb-run");
        return;
    }
    // The programs must open real windows, whatever platform the caller's environment chose.
    unsetenv("QT_QPA_PLATFORM");
    // One untimed launch brings the program and its libraries into the page cache.
    std::string error = launch(program, argument);
    if (!error.empty())
        state.SkipWithError(error.c_str());
    for (auto _ : state) {
        error = launch(program, argument);
        if (!error.empty()) {
            state.SkipWithError(error.c_str());
            break;
        }
    }
    std::error_code ignored;
    std::filesystem::remove(messageLog(), ignored);
}

void StartNoWindow(benchmark::State& state)
{
    timeLaunches(state, CEDOLARIO_START_NO_WINDOW);
}

void StartEmptyWindow(benchmark::State& state)
{
    timeLaunches(state, CEDOLARIO_START_EMPTY_WINDOW);
}

void StartCedolario(benchmark::State& state)
{
    char archiveDirectory[] = "/tmp/cedolario-startup-XXXXXX";
    if (!mkdtemp(archiveDirectory)) {
        state.SkipWithError("cannot make a directory for the archive");
        return;
    }
    timeLaunches(state, CEDOLARIO_START_APP, archiveDirectory);
    std::error_code ignored;
    std::filesystem::remove_all(archiveDirectory, ignored);
}

// Removes its directory when the run ends.
struct RemovedAtExit {
    std::string path;
    ~RemovedAtExit()
    {
        std::error_code ignored;
        if (!path.empty())
            std::filesystem::remove_all(path, ignored);
    }
};

// A directory holding an archive of a million records, made once (untimed) for the run.
const std::string& millionArchiveDirectory()
{
    static const RemovedAtExit directory{[] {
        char name[] = "/tmp/cedolario-million-XXXXXX";
        if (!mkdtemp(name))
            return std::string();
        const QLocale italian(QLocale::Italian, QLocale::Italy);
        QFile file(QString::fromLocal8Bit(name) + QStringLiteral("/fillcp.dll"));
        if (!file.open(QIODevice::WriteOnly))
            return std::string();
        QByteArray chunk;
        QByteArray record;
        UnstorableCharacter problem;
        for (int r = 0; r < 1000000; ++r) {
            const QString n = QString::number(r);
            const SlipTexts fields = {QStringLiteral("Cognome Nome ") + n,
                                      QStringLiteral("Via Garibaldi ") + n,
                                      QStringLiteral("00100"),
                                      QStringLiteral("Città"),
                                      QStringLiteral("1234,50"),
                                      QStringLiteral("milleduecentotrentaquattro/50"),
                                      QStringLiteral("Ente Acque"),
                                      QStringLiteral("Ufficio"),
                                      QString(),
                                      QStringLiteral("12345678"),
                                      QStringLiteral("Bolletta n. ") + n,
                                      QStringLiteral("123")};
            if (!encodeSavedRecord(savedDateText(QDate(2020, 1, 1).addDays(r / 8), italian), fields,
                                   PaletteState{false, true, CheckBoxState::Ticked}, record, problem))
                return std::string();
            chunk += record;
            if (chunk.size() > (1 << 20)) {
                file.write(chunk);
                chunk.clear();
            }
        }
        file.write(chunk);
        return std::string(name);
    }()};
    return directory.path;
}

void StartCedolarioMillion(benchmark::State& state)
{
    const std::string& directory = millionArchiveDirectory();
    if (directory.empty()) {
        state.SkipWithError("cannot write the archive of a million records");
        return;
    }
    timeLaunches(state, CEDOLARIO_START_APP, directory.c_str());
}

void ReadMillionArchiveBytes(benchmark::State& state)
{
    const std::string& directory = millionArchiveDirectory();
    const QString path = QString::fromStdString(directory) + QStringLiteral("/fillcp.dll");
    qint64 size = 0;
    for (auto _ : state) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            state.SkipWithError("cannot read the archive of a million records");
            break;
        }
        const QByteArray bytes = file.readAll();
        size = bytes.size();
        benchmark::DoNotOptimize(bytes.constData());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * size);
}

} // namespace

BENCHMARK(StartCedolarioMillion)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(ReadMillionArchiveBytes)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(StartCedolario)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(StartNoWindow)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(StartEmptyWindow)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

BENCHMARK_MAIN();
