// SPDX-License-Identifier: GPL-3.0-or-later

// Commits one fault, named by the first argument, so the sanitizer build can show it is really
// instrumented and that the suppressions do not hide leaks or races of our own code.
#include <QCoreApplication>
#include <QObject>
#include <QTimer>

#include <climits>
#include <cstdio>
#include <cstring>
#include <thread>

namespace {

volatile int g_sink = 0;
QObject* volatile g_lostObject = nullptr;
char* volatile g_lostBytes = nullptr;

// The pointers of the two faults below are volatile, so that an optimising build (the thread
// sanitizer's) cannot see the fault and refuse to compile it.
int heapOverflow(int extra)
{
    char* volatile bytes = new char[8];
    std::memset(bytes, 1, 8);
    int value = bytes[8 + extra];
    delete[] bytes;
    return value;
}

int useAfterFree(int extra)
{
    int* volatile numbers = new int[4]{1, 2, 3, 4};
    delete[] numbers;
    return numbers[extra];
}

int signedOverflow(int extra)
{
    int big = INT_MAX - extra;
    return big + 1 + extra;
}

// A bare buffer (a direct leak) and a named QObject, whose parts Qt allocated (indirect leaks).
// The leak checker scans live threads' stacks and registers for anything that looks like a pointer,
// so a copy left behind by the compiler would make the lost blocks look reachable by chance. They
// are made and lost on a thread of their own that has ended before the check: no stack or register
// of a live thread can still hold them, and every run reports the same leaks.
void leakMemory()
{
    g_lostBytes = new char[32];
    g_lostBytes = nullptr;
    g_lostObject = new QObject;
    g_lostObject->setObjectName(QStringLiteral("lost"));
    g_lostObject = nullptr;
}

// Two threads write one number without a lock, one of them in a function that Qt's event loop calls:
// the race has Qt's frames on its stack, as a race of our own code under the windows would, so a
// thread suppression that named a Qt library as a whole would hide this one too.
int dataRace(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    std::thread other([] { g_sink = 1; });
    QTimer::singleShot(0, &application, [&] {
        g_sink = 2;
        other.join();
        application.quit();
    });
    return application.exec();
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc != 2) {
        std::fputs(
            "usage: sanitizer_canary clean|heap-overflow|use-after-free|signed-overflow|leak|data-race\n",
            stderr);
        return 2;
    }
    const int zero = argc - 2;
    const char* fault = argv[1];
    if (std::strcmp(fault, "heap-overflow") == 0)
        g_sink = heapOverflow(zero);
    else if (std::strcmp(fault, "use-after-free") == 0)
        g_sink = useAfterFree(zero);
    else if (std::strcmp(fault, "signed-overflow") == 0)
        g_sink = signedOverflow(zero);
    else if (std::strcmp(fault, "leak") == 0)
        std::thread(leakMemory).join();
    else if (std::strcmp(fault, "data-race") == 0)
        return dataRace(argc, argv);
    else if (std::strcmp(fault, "clean") != 0)
        return 2;
    return 0;
}
