// SPDX-License-Identifier: GPL-3.0-or-later

// Runs a fuzz target's checks over every file of its corpus, so that each input kept there (the seeds
// and every crash the fuzzer found) is a regression test of the ordinary build.
#include <QDir>
#include <QFile>
#include <QTextStream>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

int main(int argc, char* argv[])
{
    QTextStream out(stdout);
    if (argc != 2) {
        out << "usage: " << argv[0] << " CORPUS_DIRECTORY\n";
        return 2;
    }
    const QDir corpus(QString::fromLocal8Bit(argv[1]));
    const QStringList names = corpus.entryList(QDir::Files, QDir::Name);
    if (names.isEmpty()) {
        out << "no inputs in " << corpus.path() << "\n";
        return 1;
    }
    for (const QString& name : names) {
        QFile file(corpus.filePath(name));
        if (!file.open(QIODevice::ReadOnly)) {
            out << "cannot read " << file.fileName() << "\n";
            return 1;
        }
        const QByteArray bytes = file.readAll();
        out << "input " << name << " (" << bytes.size() << " bytes)\n";
        out.flush();
        // A failed check aborts the process, which fails the test with the input's name above.
        LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                               static_cast<std::size_t>(bytes.size()));
    }
    out << names.size() << " passed, 0 failed\n";
    return 0;
}
