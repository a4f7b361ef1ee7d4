// SPDX-License-Identifier: GPL-3.0-or-later

// The core's one failure shape: an empty Failure is success, and a clause opens a sentence with its
// first letter a capital and nothing else changed, accented letters and quoted names included.
#include "core/Failure.h"

#include <QTest>

using namespace Qt::StringLiterals;

class FailureTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void emptyIsSuccess();
    void sentenceOpening_data();
    void sentenceOpening();
};

void FailureTest::emptyIsSuccess()
{
    QVERIFY(!Failure());
    QCOMPARE(Failure().kind(), Failure::Kind::None);
    const Failure failed = Failure::failed(u"il file è troncato"_s);
    QVERIFY(bool(failed));
    QCOMPARE(failed.kind(), Failure::Kind::Failed);
    QCOMPARE(failed.text(), u"il file è troncato"_s);
    QCOMPARE(Failure::cancelled(u"la stampa è stata annullata"_s).kind(), Failure::Kind::Cancelled);
}

void FailureTest::sentenceOpening_data()
{
    QTest::addColumn<QString>("clause");
    QTest::addColumn<QString>("opening");
    QTest::newRow("apostrophe after the first letter")
        << u"l'indice va oltre la fine del file"_s << u"L'indice va oltre la fine del file"_s;
    QTest::newRow("accented first letter") << u"è scaduto il tempo"_s << u"È scaduto il tempo"_s;
    QTest::newRow("only the first letter changes")
        << u"la stampante «ufficio» indicata da PRINTER non esiste"_s
        << u"La stampante «ufficio» indicata da PRINTER non esiste"_s;
    QTest::newRow("a quoted name first stays") << u"«foglio1» non c'è"_s << u"«foglio1» non c'è"_s;
    QTest::newRow("already a sentence") << u"Il file è protetto"_s << u"Il file è protetto"_s;
    QTest::newRow("nothing") << QString() << QString();
}

void FailureTest::sentenceOpening()
{
    QFETCH(QString, clause);
    QFETCH(QString, opening);
    QCOMPARE(Failure::SentenceOpening(clause), opening);
    QCOMPARE(Failure::failed(clause).opening(), opening);
}

QTEST_GUILESS_MAIN(FailureTest)
#include "FailureTest.moc"
