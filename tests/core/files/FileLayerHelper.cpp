// SPDX-License-Identifier: GPL-3.0-or-later
// The other process of FileLayerTest, started with QProcess so that it runs wherever the test runs:
//   file_layer_helper lock FOLDER NAME
// takes the writers' lock on NAME in FOLDER through the file layer, writes "bloccato" on a line of its
// own, and keeps the lock until its standard input ends (or it is killed).
#include "core/files/FileHandle.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

int main(int argc, char** argv)
{
    // The arguments as Qt reads them, whole in any language (on Windows, from the wide command line).
    const QCoreApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 4 || arguments[1] != QStringLiteral("lock")) {
        std::fputs("uso: file_layer_helper lock CARTELLA NOME\n", stderr);
        return 2;
    }
    DirectoryHandle folder;
    if (!folder.open(arguments[2])) {
        std::fprintf(stderr, "cartella: errore %d\n", lastFileError());
        return 1;
    }
    DirectoryHandle::Opened file = folder.openRegular(arguments[3], DirectoryHandle::Access::Read, true);
    if (!file.file.isOpen()) {
        std::fprintf(stderr, "file: %s\n", file.cause.toLocal8Bit().constData());
        return 1;
    }
    if (file.file.lock(QDeadlineTimer(30000)) != FileHandle::LockResult::Locked) {
        std::fputs("blocco non ottenuto\n", stderr);
        return 1;
    }
    std::fputs("bloccato\n", stdout);
    std::fflush(stdout);
    while (std::getchar() != EOF) {
    }
    return 0;
}
