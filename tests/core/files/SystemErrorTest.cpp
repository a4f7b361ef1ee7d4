// SPDX-License-Identifier: GPL-3.0-or-later

// The system's answers in Italian: the words of the usual ones, a number for the rest, and never the
// system's English text.
#include "core/files/SystemError.h"

#include <QTest>

#include <cerrno>
#include <cstring>

using namespace Qt::StringLiterals;

class SystemErrorTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void usualAnswers_data()
    {
        QTest::addColumn<int>("error");
        QTest::addColumn<QString>("text");
        QTest::newRow("nothing at the name") << ENOENT << u"file o cartella inesistente"_s;
        QTest::newRow("no permission") << EACCES << u"permesso negato"_s;
        QTest::newRow("an operation not permitted") << EPERM << u"permesso negato"_s;
        QTest::newRow("a full disk") << ENOSPC << u"spazio esaurito sul disco"_s;
        QTest::newRow("a full quota") << EDQUOT << u"quota del disco esaurita"_s;
        QTest::newRow("a read-only disk") << EROFS << u"il disco è in sola lettura"_s;
        QTest::newRow("a directory at the name") << EISDIR << u"al suo posto c'è una cartella"_s;
        QTest::newRow("a name too long") << ENAMETOOLONG << u"il nome del file è troppo lungo"_s;
        QTest::newRow("a file beyond the size limit")
            << EFBIG << u"il file supera la dimensione massima consentita"_s;
        QTest::newRow("a link not followed")
            << ELOOP << u"al suo posto c'è un collegamento simbolico, che non viene seguito"_s;
        QTest::newRow("another disk") << EXDEV << u"il file non si può spostare su un altro disco"_s;
        QTest::newRow("a program running") << ETXTBSY << u"il file è un programma in esecuzione"_s;
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
        for (int error = 1; error < 134; ++error) {
            const QString english = QString::fromLocal8Bit(std::strerror(error));
            const QString italian = systemErrorText(error);
            QVERIFY2(!italian.contains(english, Qt::CaseInsensitive), qPrintable(italian));
            QVERIFY2(!italian.contains(u"error "_s) && !italian.contains(u"Unknown"_s), qPrintable(italian));
        }
    }
};

QTEST_GUILESS_MAIN(SystemErrorTest)
#include "SystemErrorTest.moc"
