// SPDX-License-Identifier: GPL-3.0-or-later
// The answers of Windows in Italian (GetLastError() values): the words of the usual ones, a number for
// the rest, and never the system's own English text. SystemErrorTest does the same for errno values.
#include "core/files/SystemError.h"

#include <QTest>

#include <windows.h>

using namespace Qt::StringLiterals;

namespace {

// What Windows itself says for error, in English where the system speaks English (Wine does).
QString windowsText(DWORD error)
{
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        error, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    const QString result = length == 0 ? QString() : QString::fromWCharArray(text, int(length)).trimmed();
    LocalFree(text);
    return result;
}

} // namespace

class SystemErrorWin32Test : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void usualAnswers_data()
    {
        QTest::addColumn<int>("error");
        QTest::addColumn<QString>("text");
        QTest::newRow("nothing at the name") << int(ERROR_FILE_NOT_FOUND) << u"file o cartella inesistente"_s;
        QTest::newRow("no such folder") << int(ERROR_PATH_NOT_FOUND) << u"file o cartella inesistente"_s;
        QTest::newRow("no permission") << int(ERROR_ACCESS_DENIED) << u"permesso negato"_s;
        QTest::newRow("open elsewhere without sharing")
            << int(ERROR_SHARING_VIOLATION) << u"il file è in uso da un altro programma"_s;
        QTest::newRow("locked elsewhere")
            << int(ERROR_LOCK_VIOLATION) << u"il file è bloccato da un altro programma"_s;
        QTest::newRow("a full disk") << int(ERROR_DISK_FULL) << u"spazio esaurito sul disco"_s;
        QTest::newRow("a full disk, said by a handle")
            << int(ERROR_HANDLE_DISK_FULL) << u"spazio esaurito sul disco"_s;
        QTest::newRow("a read-only disk") << int(ERROR_WRITE_PROTECT) << u"il disco è in sola lettura"_s;
        QTest::newRow("a name taken") << int(ERROR_FILE_EXISTS) << u"esiste già un file con questo nome"_s;
        QTest::newRow("a name too long")
            << int(ERROR_FILENAME_EXCED_RANGE) << u"il nome del file è troppo lungo"_s;
        QTest::newRow("a file where a folder should be")
            << int(ERROR_DIRECTORY) << u"un elemento del percorso non è una cartella"_s;
        QTest::newRow("another disk")
            << int(ERROR_NOT_SAME_DEVICE) << u"il file non si può spostare su un altro disco"_s;
        QTest::newRow("an answer without words") << 4095 << u"errore di sistema n. 4095"_s;
    }
    void usualAnswers()
    {
        QFETCH(int, error);
        QFETCH(QString, text);
        QCOMPARE(systemErrorText(error), text);
    }

    void neverTheSystemsEnglish()
    {
        for (DWORD error = 1; error < 1400; ++error) {
            const QString english = windowsText(error);
            const QString italian = systemErrorText(int(error));
            if (!english.isEmpty())
                QVERIFY2(!italian.contains(english, Qt::CaseInsensitive), qPrintable(italian));
            QVERIFY2(!italian.contains(u"error "_s) && !italian.contains(u"Unknown"_s), qPrintable(italian));
        }
    }
};

QTEST_GUILESS_MAIN(SystemErrorWin32Test)
#include "SystemErrorWin32Test.moc"
