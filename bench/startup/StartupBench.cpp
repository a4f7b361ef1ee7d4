// Start-up time: from launching a program to its first painted window, on a real X display
// (./scripts/bench runs this under xvfb-run when there is no display). Each launched program ends
// itself right after its first paint (FirstPaintExit), so one iteration is one whole launch.
#include <benchmark/benchmark.h>

#include <cerrno>
#include <filesystem>
#include <cstdlib>
#include <cstring>
#include <spawn.h>
#include <string>
#include <sys/wait.h>

extern char** environ;

namespace {

const bool described = [] {
    benchmark::AddCustomContext("cedolario.section", "Start-up to the first painted window");
    benchmark::AddCustomContext(
        "cedolario.about",
        "One launch until the first window has painted on an X display (Xvfb), timed over repeated "
        "launches. `StartCedolario` starts the application as `main()` does (with an archive of its "
        "own, empty) and stops when the slip form has painted, the palette having come up first; "
        "`StartEmptyWindow` shows an empty Qt window; `StartNoWindow` only connects a Qt widget "
        "application to the display.");
    benchmark::AddCustomContext("cedolario.reference.StartCedolario", "StartEmptyWindow");
    benchmark::AddCustomContext("cedolario.reference.StartEmptyWindow", "StartNoWindow");
    return true;
}();

// Runs `program` (with one argument, when given) to its end; an empty text, or what went wrong.
std::string launch(const char* program, const char* argument)
{
    char* const argv[] = {const_cast<char*>(program), const_cast<char*>(argument), nullptr};
    pid_t child = 0;
    const int spawnError = posix_spawn(&child, program, nullptr, nullptr, argv, environ);
    if (spawnError != 0)
        return std::string("cannot start ") + program + ": " + std::strerror(spawnError);
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR)
            return std::string("waitpid: ") + std::strerror(errno);
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0)
        return std::string();
    if (WIFEXITED(status) && WEXITSTATUS(status) == 3)
        return std::string(program) + " painted no window within a minute";
    if (WIFEXITED(status))
        return std::string(program) + " exited with status " + std::to_string(WEXITSTATUS(status));
    return std::string(program) + " was killed by signal " + std::to_string(WTERMSIG(status));
}

void timeLaunches(benchmark::State& state, const char* program, const char* argument = nullptr)
{
    if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY")) {
        state.SkipWithError("no display: run under xvfb-run");
        return;
    }
    // The programs must open real windows, whatever platform the caller's environment chose.
    unsetenv("QT_QPA_PLATFORM");
    // One untimed launch brings the program and its libraries into the page cache.
    std::string error = launch(program, argument);
    for (auto _ : state) {
        if (error.empty())
            error = launch(program, argument);
    }
    if (!error.empty())
        state.SkipWithError(error.c_str());
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

} // namespace

BENCHMARK(StartCedolario)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(StartNoWindow)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(StartEmptyWindow)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

BENCHMARK_MAIN();
