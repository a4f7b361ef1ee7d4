// SPDX-License-Identifier: GPL-3.0-or-later

// Writing a file on the user's say, on real files: links, FIFOs and other users' files planted at the
// name, in sticky shared directories owned by someone else; the name swapped between the check and the
// rename; a write that fails half-way. What a link points to must never change.
#include "core/files/OutputFile.h"

#include "FailureCompare.h"
#include "FileBytes.h"
#include "FileSizeLimit.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

constexpr uid_t Other = 4242;   // a user who is not the one writing
constexpr uid_t Nobody = 65534; // owns the shared directory in some rows

QByteArray encoded(const QString& path)
{
    return QFile::encodeName(path);
}

struct stat linkStatus(const QString& path)
{
    struct stat status {
    };
    if (::lstat(encoded(path).constData(), &status) != 0)
        status.st_mode = 0;
    return status;
}

// A link at path to target, owned by owner.
bool plantLink(const QString& target, const QString& path, uid_t owner)
{
    return ::symlink(encoded(target).constData(), encoded(path).constData()) == 0 &&
           ::lchown(encoded(path).constData(), owner, owner) == 0;
}

// The directory's entries, the hidden ones too.
QStringList entriesOf(const QString& directory)
{
    return QDir(directory).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                     QDir::Name);
}

} // namespace

class OutputFileTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_work = m_dir->path();
        ::umask(022);
    }

    void writesTheWholeFileWithTheUsualPermissions()
    {
        const QString path = m_work + u"/nuovo.pdf"_s;
        QCOMPARE(writeOutputFile(path, "contenuto"), Failure());
        QCOMPARE(contents(path), QByteArray("contenuto"));
        QCOMPARE(linkStatus(path).st_mode & 07777, mode_t(0644));
        QCOMPARE(entriesOf(m_work), QStringList{u"nuovo.pdf"_s});
    }

    void keepsThePermissionsOfTheFileItReplaces()
    {
        const QString path = m_work + u"/privato.csv"_s;
        write(path, "vecchio");
        QVERIFY(::chmod(encoded(path).constData(), 0600) == 0);
        QCOMPARE(writeOutputFile(path, "nuovo"), Failure());
        QCOMPARE(contents(path), QByteArray("nuovo"));
        QCOMPARE(linkStatus(path).st_mode & 07777, mode_t(0600));
    }

    void linksAtTheName_data()
    {
        QTest::addColumn<uid_t>("directoryOwner");
        QTest::addColumn<int>("directoryMode");
        QTest::addColumn<uid_t>("linkOwner");
        QTest::addColumn<bool>("dangling");
        QTest::addColumn<bool>("replaced"); // else refused
        const uid_t me = ::geteuid();
        QTest::newRow("another user's link in a sticky shared directory")
            << Nobody << 01777 << Other << false << false;
        QTest::newRow("another user's link to nothing yet, in a sticky shared directory")
            << Nobody << 01777 << Other << true << false;
        QTest::newRow("another user's link in a group directory") << me << 02775 << Other << false << false;
        QTest::newRow("the directory owner's link in a sticky shared directory")
            << Nobody << 01777 << Nobody << false << true;
        QTest::newRow("the user's own link in a sticky shared directory")
            << Nobody << 01777 << me << false << true;
        QTest::newRow("the user's own link to nothing") << me << 0755 << me << true << true;
    }
    void linksAtTheName()
    {
        QFETCH(uid_t, directoryOwner);
        QFETCH(int, directoryMode);
        QFETCH(uid_t, linkOwner);
        QFETCH(bool, dangling);
        QFETCH(bool, replaced);

        // What the link points to: a file of root's, outside the shared directory.
        const QString target = m_work + u"/di-root"_s;
        if (!dangling) {
            write(target, "segreto di root\n");
            QVERIFY(::chmod(encoded(target).constData(), 0600) == 0);
        }
        const QString shared = m_work + u"/condivisa"_s;
        QVERIFY(QDir().mkdir(shared));
        QVERIFY(::chown(encoded(shared).constData(), directoryOwner, directoryOwner) == 0);
        QVERIFY(::chmod(encoded(shared).constData(), mode_t(directoryMode)) == 0);
        const QString path = shared + u"/out.pdf"_s;
        QVERIFY(plantLink(target, path, linkOwner));

        const Failure failure = writeOutputFile(path, "%PDF nuovo");
        QCOMPARE(!failure, replaced);
        // Whatever happens, the link is never written through.
        if (dangling)
            QVERIFY(!QFile::exists(target));
        else
            QCOMPARE(contents(target), QByteArray("segreto di root\n"));
        if (replaced) {
            QVERIFY2(failure.text().isEmpty(), qPrintable(failure.text()));
            QVERIFY(S_ISREG(linkStatus(path).st_mode));
            QCOMPARE(contents(path), QByteArray("%PDF nuovo"));
        } else {
            QCOMPARE(failure.text(),
                     u"impossibile scrivere %1: al suo posto c'è un collegamento simbolico di un altro "
                     u"utente (uid 4242), che non viene seguito né sostituito"_s.arg(path));
            QVERIFY(S_ISLNK(linkStatus(path).st_mode));
        }
        QCOMPARE(entriesOf(shared), QStringList{u"out.pdf"_s});
    }

    void otherEntriesAtTheName_data()
    {
        QTest::addColumn<QString>("what");
        QTest::addColumn<int>("directoryMode");
        QTest::addColumn<QString>("reason"); // empty: replaced
        QTest::newRow("a FIFO") << u"fifo"_s << 0755 << u"al suo posto c'è una FIFO, non un file"_s;
        QTest::newRow("a directory") << u"directory"_s << 0755 << u"al suo posto c'è una cartella"_s;
        QTest::newRow("another user's file in a sticky shared directory")
            << u"file"_s << 01777
            << u"il file esistente è di un altro utente (uid 4242) in una cartella condivisa e non viene "
               u"sostituito"_s;
        QTest::newRow("another user's file in a directory without the sticky bit")
            << u"file"_s << 0777 << QString();
    }
    void otherEntriesAtTheName()
    {
        QFETCH(QString, what);
        QFETCH(int, directoryMode);
        QFETCH(QString, reason);
        QVERIFY(::chmod(encoded(m_work).constData(), mode_t(directoryMode)) == 0);
        const QString path = m_work + u"/out.pdf"_s;
        if (what == u"fifo")
            QVERIFY(::mkfifo(encoded(path).constData(), 0644) == 0);
        else if (what == u"directory")
            QVERIFY(QDir().mkdir(path));
        else {
            write(path, "di un altro");
            QVERIFY(::chown(encoded(path).constData(), Other, Other) == 0);
        }
        const mode_t before = linkStatus(path).st_mode;

        const Failure failure = writeOutputFile(path, "nuovo");
        QCOMPARE(!failure, reason.isEmpty());
        if (reason.isEmpty()) {
            QCOMPARE(contents(path), QByteArray("nuovo"));
        } else {
            QCOMPARE(failure.text(), u"impossibile scrivere %1: %2"_s.arg(path, reason));
            QCOMPARE(linkStatus(path).st_mode, before);
        }
        QCOMPARE(entriesOf(m_work), QStringList{u"out.pdf"_s});
    }

    // What the name holds changes after the last look before the rename: the rename replaces only what
    // was checked, else judges what took its place.
    void nameSwappedBeforeTheRename_data()
    {
        QTest::addColumn<bool>("existedAtTheCheck");
        QTest::addColumn<bool>("swappedForALink"); // else for a file of the user's
        QTest::addColumn<bool>("written");
        QTest::newRow("a free name taken by another user's link") << false << true << false;
        QTest::newRow("the user's file swapped for another user's link") << true << true << false;
        QTest::newRow("a free name taken by a file of the user's") << false << false << true;
    }
    void nameSwappedBeforeTheRename()
    {
        QFETCH(bool, existedAtTheCheck);
        QFETCH(bool, swappedForALink);
        QFETCH(bool, written);
        QVERIFY(::chmod(encoded(m_work).constData(), 01777) == 0);
        const QString target = m_work + u"/di-root"_s;
        write(target, "segreto di root\n");
        const QString path = m_work + u"/out.csv"_s;
        if (existedAtTheCheck)
            write(path, "vecchio");

        OutputFile file(path);
        QCOMPARE(file.open(), Failure());
        file.device().write("nuovo");
        file.setBeforeRename([&] {
            QFile::remove(path);
            if (swappedForALink)
                QVERIFY(plantLink(target, path, Other));
            else
                write(path, "fatto nel frattempo");
        });
        const Failure failure = file.commit();
        QCOMPARE(!failure, written);
        QCOMPARE(contents(target), QByteArray("segreto di root\n"));
        if (written) {
            QCOMPARE(contents(path), QByteArray("nuovo"));
        } else {
            QVERIFY(S_ISLNK(linkStatus(path).st_mode));
            QVERIFY2(failure.text().contains(u"collegamento simbolico di un altro utente"_s),
                     qPrintable(failure.text()));
        }
        QCOMPARE(entriesOf(m_work), (QStringList{u"di-root"_s, u"out.csv"_s}));
    }

    void aFailedWriteLeavesTheOldFileAndNothingElse()
    {
        const QString path = m_work + u"/x%1%2.pdf"_s;
        write(path, "vecchio");
        Failure failure;
        {
            const FileSizeLimit limit(1000);
            QVERIFY(limit.active());
            failure = writeOutputFile(path, QByteArray(200000, 'x'));
        }
        // The name holds %1 and %2: it is told as it is.
        QCOMPARE(failure.text(), u"impossibile scrivere "_s + m_work +
                                     u"/x%1%2.pdf: il file supera la dimensione massima consentita"_s);
        QCOMPARE(contents(path), QByteArray("vecchio"));
        QCOMPARE(entriesOf(m_work), QStringList{u"x%1%2.pdf"_s});
    }

    void aFileNeverCommittedLeavesNothing()
    {
        const QString path = m_work + u"/annullato.pdf"_s;
        {
            OutputFile file(path);
            QCOMPARE(file.open(), Failure());
            file.device().write("a metà");
        }
        QCOMPARE(entriesOf(m_work), QStringList());
    }

    void aDirectoryThatIsNotThere()
    {
        QCOMPARE(writeOutputFile(m_work + u"/manca/out.pdf"_s, "x").text(),
                 u"impossibile scrivere %1/manca/out.pdf: file o cartella inesistente"_s.arg(m_work));
    }

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_work;
};

QTEST_GUILESS_MAIN(OutputFileTest)
#include "OutputFileTest.moc"
