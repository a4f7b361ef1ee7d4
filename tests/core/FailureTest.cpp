// SPDX-License-Identifier: GPL-3.0-or-later

// The core's one failure shape: an empty Failure is success, and a failure keeps its kind and its text
// exactly as written, for the caller's sentence.
#include "core/Failure.h"

#include <QTest>

using namespace Qt::StringLiterals;

class FailureTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void emptyIsSuccess();
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

QTEST_GUILESS_MAIN(FailureTest)
#include "FailureTest.moc"
