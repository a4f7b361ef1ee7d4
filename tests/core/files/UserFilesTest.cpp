// SPDX-License-Identifier: GPL-3.0-or-later
// Files read and written on the user's say (a sheet of slips, an exported PDF), the same test on every
// system: names in any script, a file replaced whole or not at all, a folder or nothing at the name,
// a file beyond the bound. The POSIX rules for links, FIFOs, devices and other users' files are tested
// by InputFileTest and OutputFileTest.
#include "core/files/InputFile.h"
#include "core/files/OutputFile.h"

#include "FailureCompare.h"
#include "FileBytes.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

// A folder and a name of every script a user's files may carry.
const QString Folder = u"Documenti è € Ω 日本 😀"_s;
const QString Name = u"bollettini-àèìòù-€-日本.csv"_s;

// The folder's entries, the hidden ones too: what a failed or a cancelled write might leave behind.
QStringList entriesOf(const QString& directory)
{
    return QDir(directory).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                     QDir::Name);
}

} // namespace

class UserFilesTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_work = m_dir->filePath(Folder);
        QVERIFY(QDir().mkdir(m_work));
    }

    void writesANewFileAndReadsItBack()
    {
        const QString path = m_work + u'/' + Name;
        QCOMPARE(writeOutputFile(path, "Nome;Importo\r\nRossi;10,00\r\n"), Failure());
        QCOMPARE(entriesOf(m_work), QStringList{Name});
        QByteArray bytes;
        QCOMPARE(readInputFile(path, 1000, bytes), Failure());
        QCOMPARE(bytes, QByteArray("Nome;Importo\r\nRossi;10,00\r\n"));
    }

    void replacesAnExistingFileWhole()
    {
        const QString path = m_work + u'/' + Name;
        write(path, "una versione vecchia e più lunga di quella nuova");
        QCOMPARE(writeOutputFile(path, "nuova"), Failure());
        QCOMPARE(contents(path), QByteArray("nuova"));
        QCOMPARE(entriesOf(m_work), QStringList{Name});
    }

    void aFileNeverCommittedLeavesTheOldOne()
    {
        const QString path = m_work + u'/' + Name;
        write(path, "vecchio");
        {
            OutputFile file(path);
            QCOMPARE(file.open(), Failure());
            file.device().write("a metà");
        }
        QCOMPARE(contents(path), QByteArray("vecchio"));
        QCOMPARE(entriesOf(m_work), QStringList{Name});
    }

    void aFolderAtTheNameIsRefused()
    {
        const QString path = m_work + u'/' + Name;
        QVERIFY(QDir().mkdir(path));
        QCOMPARE(
            writeOutputFile(path, "x").text(),
            u"impossibile scrivere %1: al suo posto c'è una cartella"_s.arg(QDir::toNativeSeparators(path)));
        QVERIFY(QDir(path).isEmpty());
        QCOMPARE(entriesOf(m_work), QStringList{Name});

        QByteArray bytes;
        QCOMPARE(readInputFile(path, 1000, bytes).text(),
                 u"Impossibile aprire il file %1: al suo posto c'è una cartella."_s.arg(
                     QDir::toNativeSeparators(path)));
    }

    void nothingAtTheName()
    {
        const QString path = m_work + u'/' + Name;
        QByteArray bytes;
        QCOMPARE(readInputFile(path, 1000, bytes).text(),
                 u"Impossibile aprire il file %1: file o cartella inesistente."_s.arg(
                     QDir::toNativeSeparators(path)));
        QCOMPARE(writeOutputFile(m_work + u"/manca/"_s + Name, "x").text(),
                 u"impossibile scrivere %1: file o cartella inesistente"_s.arg(
                     QDir::toNativeSeparators(m_work + u"/manca/"_s + Name)));
    }

    void aFileBeyondTheBoundIsNotRead()
    {
        const QString path = m_work + u'/' + Name;
        write(path, QByteArray((1 << 20) + 1, ';'));
        QByteArray bytes;
        QCOMPARE(readInputFile(path, qint64(1) << 20, bytes).text(),
                 u"Impossibile aprire il file %1: il file è troppo grande (2 MB, al massimo 1 MB)."_s.arg(
                     QDir::toNativeSeparators(path)));
        QVERIFY(bytes.isEmpty());
    }

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_work;
};

QTEST_GUILESS_MAIN(UserFilesTest)
#include "UserFilesTest.moc"
