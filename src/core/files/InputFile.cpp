// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/files/InputFile.h"

#include "core/files/InputFileOpen.h"
#include "core/files/SystemError.h"

#include <QDir>

using namespace Qt::StringLiterals;

namespace {

QString megabytes(qint64 bytes)
{
    return QString::number((bytes + (1 << 20) - 1) >> 20);
}

} // namespace

Failure readInputFile(const QString& path, qint64 maxBytes, QByteArray& bytes)
{
    bytes.clear();
    // "aprire" until the file is open and known to be one, "leggere" after.
    bool opened = false;
    const auto failWith = [&](const QString& cause) {
        bytes.clear();
        return Failure::failed(
            (opened ? u"Impossibile leggere il file %1: %2."_s : u"Impossibile aprire il file %1: %2."_s)
                .arg(QDir::toNativeSeparators(path), cause));
    };
    FileHandle file;
    if (const Failure failure = openInputFile(path, file))
        return failWith(failure.text());
    FileStatus status;
    if (!file.status(status))
        return failWith(systemErrorText(lastFileError()));
    if (status.kind != FileKind::Regular)
        return failWith(notRegularFileText(status.kind));
    const auto tooLarge = [&](qint64 size) {
        return failWith(
            u"il file è troppo grande (%1 MB, al massimo %2 MB)"_s.arg(megabytes(size), megabytes(maxBytes)));
    };
    if (status.size > maxBytes)
        return tooLarge(status.size);

    opened = true;
    // One byte beyond the size found, to see a file that grows meanwhile.
    const qint64 bound = qMin<qint64>(maxBytes, status.size) + 1;
    bytes = QByteArray(qsizetype(bound), Qt::Uninitialized);
    qsizetype done = 0;
    if (!file.readFully(0, bytes.data(), bytes.size(), done))
        return failWith(systemErrorText(lastFileError()));
    if (done > maxBytes)
        return tooLarge(done);
    if (done > status.size)
        return failWith(u"il file è cambiato durante la lettura. Riprovare"_s);
    bytes.truncate(done);
    return {};
}
