// SPDX-License-Identifier: GPL-3.0-or-later

// Reading a file on the user's say, on real files and real processes: a FIFO and /dev/zero must be
// refused at once (each read runs in a child process that is killed if it hangs, so a hang fails the
// test instead of blocking it), links planted by another user are not followed, and no file is read
// beyond its bound.
#include "core/files/InputFile.h"

#include "FileBytes.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <memory>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

constexpr uid_t Other = 4242;
constexpr uid_t Nobody = 65534;

QByteArray encoded(const QString& path)
{
    return QFile::encodeName(path);
}

struct Reading {
    bool finished = false; // false: it hung and was killed
    bool read = false;
    QString text; // the bytes read, or the error
};

// Reads path in a child process, which is killed after timeoutMs.
Reading readInChild(const QString& path, qint64 maxBytes, int timeoutMs = 5000)
{
    int pipeEnds[2];
    if (::pipe(pipeEnds) != 0)
        return {};
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipeEnds[0]);
        QByteArray bytes;
        const Failure failure = readInputFile(path, maxBytes, bytes);
        const QByteArray answer =
            (!failure ? QByteArray("1") + bytes : QByteArray("0") + failure.text().toUtf8());
        [[maybe_unused]] const ssize_t written =
            ::write(pipeEnds[1], answer.constData(), size_t(answer.size()));
        ::_exit(0);
    }
    ::close(pipeEnds[1]);
    Reading result;
    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        int status = 0;
        if (::waitpid(child, &status, WNOHANG) == child) {
            result.finished = true;
            break;
        }
        if (deadline.hasExpired())
            break;
        ::usleep(10000);
    }
    if (!result.finished) {
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
        ::close(pipeEnds[0]);
        return result;
    }
    QByteArray answer;
    char buffer[4096];
    for (ssize_t got; (got = ::read(pipeEnds[0], buffer, sizeof buffer)) > 0;)
        answer.append(buffer, got);
    ::close(pipeEnds[0]);
    result.read = answer.startsWith('1');
    result.text = QString::fromUtf8(answer.mid(1));
    return result;
}

} // namespace

class InputFileTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_work = m_dir->path();
    }

    void whatStandsAtTheName_data()
    {
        QTest::addColumn<QString>("what");
        QTest::addColumn<bool>("read");
        QTest::addColumn<QString>("text"); // the contents, or the message with %1 for the path

        QTest::newRow("a regular file") << u"file"_s << true << u"Nome;Importo\n"_s;
        QTest::newRow("a FIFO nobody writes to")
            << u"fifo"_s << false
            << u"Impossibile aprire il file %1: al suo posto c'è una FIFO, non un file."_s;
        QTest::newRow("the zero device")
            << u"/dev/zero"_s << false
            << u"Impossibile aprire il file %1: al suo posto c'è un dispositivo, non un file."_s;
        QTest::newRow("the user's own link to the zero device")
            << u"link to /dev/zero"_s << false
            << u"Impossibile aprire il file %1: al suo posto c'è un dispositivo, non un file."_s;
        QTest::newRow("a directory") << u"directory"_s << false
                                     << u"Impossibile aprire il file %1: al suo posto c'è una cartella."_s;
        QTest::newRow("nothing") << u"nothing"_s << false
                                 << u"Impossibile aprire il file %1: file o cartella inesistente."_s;
        QTest::newRow("a file beyond the bound")
            << u"large"_s << false
            << u"Impossibile aprire il file %1: il file è troppo grande (2 MB, al massimo 1 MB)."_s;
    }
    void whatStandsAtTheName()
    {
        QFETCH(QString, what);
        QFETCH(bool, read);
        QFETCH(QString, text);
        QString path = m_work + u"/elenco.csv"_s;
        if (what == u"file")
            write(path, "Nome;Importo\n");
        else if (what == u"fifo")
            QVERIFY(::mkfifo(encoded(path).constData(), 0600) == 0);
        else if (what == u"link to /dev/zero")
            QVERIFY(::symlink("/dev/zero", encoded(path).constData()) == 0);
        else if (what == u"directory")
            QVERIFY(QDir().mkdir(path));
        else if (what == u"large")
            write(path, QByteArray((1 << 20) + 1, ';'));
        else if (what != u"nothing")
            path = what;

        const Reading reading = readInChild(path, qint64(1) << 20);
        QVERIFY2(reading.finished, "the read hung");
        QCOMPARE(reading.read, read);
        QCOMPARE(reading.text, read ? text : text.arg(path));
    }

    void linksOfOtherUsers_data()
    {
        QTest::addColumn<uid_t>("directoryOwner");
        QTest::addColumn<int>("directoryMode");
        QTest::addColumn<uid_t>("linkOwner");
        QTest::addColumn<bool>("followed");
        const uid_t me = ::geteuid();
        QTest::newRow("another user's link in a sticky shared directory")
            << Nobody << 01777 << Other << false;
        QTest::newRow("the directory owner's link") << Nobody << 01777 << Nobody << true;
        QTest::newRow("the user's own link") << Nobody << 01777 << me << true;
    }
    void linksOfOtherUsers()
    {
        QFETCH(uid_t, directoryOwner);
        QFETCH(int, directoryMode);
        QFETCH(uid_t, linkOwner);
        QFETCH(bool, followed);
        const QString target = m_work + u"/di-root"_s;
        write(target, "segreto di root\n");
        const QString shared = m_work + u"/condivisa"_s;
        QVERIFY(QDir().mkdir(shared));
        QVERIFY(::chown(encoded(shared).constData(), directoryOwner, directoryOwner) == 0);
        QVERIFY(::chmod(encoded(shared).constData(), mode_t(directoryMode)) == 0);
        const QString path = shared + u"/elenco.csv"_s;
        QVERIFY(::symlink(encoded(target).constData(), encoded(path).constData()) == 0);
        QVERIFY(::lchown(encoded(path).constData(), linkOwner, linkOwner) == 0);

        const Reading reading = readInChild(path, 1000);
        QVERIFY(reading.finished);
        QCOMPARE(reading.read, followed);
        QCOMPARE(reading.text, followed ? u"segreto di root\n"_s
                                        : u"Impossibile aprire il file %1: è un collegamento simbolico di un "
                                          u"altro utente (uid 4242), che non viene seguito."_s.arg(path));
    }

    void aNameWithPercentSigns()
    {
        const QString path = m_work + u"/x%1%2.csv"_s;
        const Reading reading = readInChild(path, 1000);
        QVERIFY(reading.finished);
        QCOMPARE(reading.text,
                 u"Impossibile aprire il file "_s + m_work + u"/x%1%2.csv: file o cartella inesistente."_s);
    }

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_work;
};

QTEST_GUILESS_MAIN(InputFileTest)
#include "InputFileTest.moc"
