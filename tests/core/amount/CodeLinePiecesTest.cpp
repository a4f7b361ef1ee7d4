// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/amount/CodeLine.h"

#include <QTest>

class CodeLinePiecesTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void amountPiece_data();
    void amountPiece();
    void accountPiece_data();
    void accountPiece();
    void typePieceAndMark_data();
    void typePieceAndMark();
};

void CodeLinePiecesTest::amountPiece_data()
{
    QTest::addColumn<QString>("amount");
    QTest::addColumn<QString>("piece");

    QTest::newRow("thousands") << "1234,56"
                               << "00001234+56>";
    QTest::newRow("twelve fifty") << "12,50"
                                  << "00000012+50>";
    QTest::newRow("cents only") << "0,50"
                                << "00000000+50>";
    QTest::newRow("seven digits") << "1234567,00"
                                  << "01234567+00>";
    QTest::newRow("eight digits unchanged") << "12345678,90"
                                            << "12345678+90>";
    QTest::newRow("nine digits not cut") << "123456789,00"
                                         << "123456789+00>";
    QTest::newRow("eighteen digits not cut") << "123456789012345678,50"
                                             << "123456789012345678+50>";
    QTest::newRow("split at the first comma") << "1,2,3"
                                              << "00000001+2,3>";
    QTest::newRow("empty amount") << ""
                                  << "00000000+>";
    QTest::newRow("no comma taken as integer part") << "42"
                                                    << "00000042+>";
}

void CodeLinePiecesTest::amountPiece()
{
    QFETCH(QString, amount);
    QFETCH(QString, piece);
    QCOMPARE(CodeLineAmountPiece(amount), piece);
}

void CodeLinePiecesTest::accountPiece_data()
{
    QTest::addColumn<QString>("account");
    QTest::addColumn<QString>("piece");

    QTest::newRow("five digits") << "12345"
                                 << "00012345<";
    QTest::newRow("three digits") << "123"
                                  << "00000123<";
    QTest::newRow("empty") << ""
                           << "00000000<";
    QTest::newRow("eight digits unchanged") << "12345678"
                                            << "12345678<";
    QTest::newRow("nine digits not cut") << "123456789"
                                         << "123456789<";
    QTest::newRow("twelve digits not cut") << "123456789012"
                                           << "123456789012<";
    // Banks write postal accounts with twelve digits; the zeros beyond eight say nothing.
    QTest::newRow("twelve digits as banks write them") << "000012345678"
                                                       << "12345678<";
    QTest::newRow("zeros dropped only down to eight digits") << "0000000012345"
                                                             << "00012345<";
    QTest::newRow("zero before nine digits") << "0123456789"
                                             << "123456789<";
    QTest::newRow("zeros inside kept") << "100000000000"
                                       << "100000000000<";
}

void CodeLinePiecesTest::accountPiece()
{
    QFETCH(QString, account);
    QFETCH(QString, piece);
    QCOMPARE(CodeLineAccountPiece(account), piece);
}

void CodeLinePiecesTest::typePieceAndMark_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("piece");
    QTest::addColumn<QString>("mark");

    QTest::newRow("default type") << "123"
                                  << "123>"
                                  << "TD    123";
    QTest::newRow("empty") << ""
                           << ">"
                           << "TD    ";
    QTest::newRow("long type not padded or cut") << "1234567890"
                                                 << "1234567890>"
                                                 << "TD    1234567890";
    QTest::newRow("leading zero kept") << "0896"
                                       << "0896>"
                                       << "TD    0896";
}

void CodeLinePiecesTest::typePieceAndMark()
{
    QFETCH(QString, type);
    QFETCH(QString, piece);
    QFETCH(QString, mark);
    QCOMPARE(CodeLineTypePiece(type), piece);
    QCOMPARE(DocumentTypeMark(type), mark);
}

QTEST_GUILESS_MAIN(CodeLinePiecesTest)
#include "CodeLinePiecesTest.moc"
