// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/archive/Windows1252.h"

#include <QTest>

using namespace Qt::StringLiterals;

class Windows1252Test : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void decodes_data();
    void decodes();
    void encodes_data();
    void encodes();
    void refuses_data();
    void refuses();
    void everyByteComesBack();
};

void Windows1252Test::decodes_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");

    QTest::newRow("ascii") << QByteArray("Rossi Mario") << u"Rossi Mario"_s;
    QTest::newRow("marker with c cedilla") << QByteArray("?*@1\xE7*^") << u"?*@1\u00E7*^"_s;
    QTest::newRow("euro sign") << QByteArray("\x80 12,50") << u"\u20AC 12,50"_s;
    QTest::newRow("typographic quotes")
        << QByteArray("\x93ok\x94 \x91s\x92") << u"\u201Cok\u201D \u2018s\u2019"_s;
    QTest::newRow("dashes and ellipsis") << QByteArray("\x96\x97\x85") << u"\u2013\u2014\u2026"_s;
    QTest::newRow("letters of 0x8A-0x9F") << QByteArray("\x8A\x8C\x8E\x9A\x9C\x9E\x9F\x83")
                                          << u"\u0160\u0152\u017D\u0161\u0153\u017E\u0178\u0192"_s;
    QTest::newRow("undefined bytes") << QByteArray("\x81\x8D\x8F\x90\x9D")
                                     << u"\u0081\u008D\u008F\u0090\u009D"_s;
    QTest::newRow("latin-1 upper half") << QByteArray("Citt\xE0 \xC8 \xA0\xFF") << u"Città È \u00A0ÿ"_s;
    QTest::newRow("nul byte") << QByteArray("a\0b", 3) << QStringView(u"a\0b", 3).toString();
}

void Windows1252Test::decodes()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QCOMPARE(decodeWindows1252(bytes), text);
}

void Windows1252Test::encodes_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("empty") << QString() << QByteArray();
    QTest::newRow("accented italian") << u"perché più città"_s << QByteArray("perch\xE9 pi\xF9 citt\xE0");
    QTest::newRow("euro and trade mark") << u"€ ™"_s << QByteArray("\x80 \x99");
    QTest::newRow("low-9 quote and per mille") << u"\u201A\u2030"_s << QByteArray("\x82\x89");
    QTest::newRow("undefined bytes round trip") << u"\u0081\u009D"_s << QByteArray("\x81\x9D");
}

void Windows1252Test::encodes()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QByteArray out("prefix:");
    qsizetype unencodable = -1;
    QVERIFY2(encodeWindows1252(text, out, unencodable), qPrintable(QString::number(unencodable)));
    QCOMPARE(out, QByteArray("prefix:") + bytes);
}

void Windows1252Test::refuses_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qsizetype>("firstBad");

    QTest::newRow("greek omega") << u"ab\u03A9c"_s << qsizetype(2);
    QTest::newRow("c1 control with no byte of its own") << u"\u0080"_s << qsizetype(0);
    QTest::newRow("latin-1 supplement gap 0x9F") << u"x\u009F"_s << qsizetype(1);
    QTest::newRow("cyrillic after accents") << u"àè\u0416"_s << qsizetype(2);
    QTest::newRow("emoji") << u"ok \U0001F600"_s << qsizetype(3);
    QTest::newRow("polish l stroke") << u"\u0141\u00F3d\u017A"_s << qsizetype(0);
}

void Windows1252Test::refuses()
{
    QFETCH(QString, text);
    QFETCH(qsizetype, firstBad);
    QByteArray out("keep");
    qsizetype unencodable = -1;
    QVERIFY(!encodeWindows1252(text, out, unencodable));
    QCOMPARE(unencodable, firstBad);
    QCOMPARE(out, QByteArray("keep"));
}

void Windows1252Test::everyByteComesBack()
{
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(static_cast<char>(b));
    const QString text = decodeWindows1252(all);
    QCOMPARE(text.size(), 256);
    QByteArray again;
    qsizetype unencodable = -1;
    QVERIFY2(encodeWindows1252(text, again, unencodable), qPrintable(QString::number(unencodable)));
    QCOMPARE(again, all);
}

QTEST_GUILESS_MAIN(Windows1252Test)
#include "Windows1252Test.moc"
