// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/amount/AmountWords.h"

#include <QTest>

class AmountWordsTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void groupInWords_data();
    void groupInWords();
    void amountInWords_data();
    void amountInWords();
    void amountPastMillion_data();
    void amountPastMillion();
    void amountWithoutWords_data();
    void amountWithoutWords();
};

void AmountWordsTest::groupInWords_data()
{
    QTest::addColumn<QString>("digits");
    QTest::addColumn<QString>("words");

    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("zeros only") << "000"
                                << "";
    QTest::newRow("one zero") << "0"
                              << "";
    QTest::newRow("single digit") << "7"
                                  << "sette";
    QTest::newRow("leading zero dropped") << "047"
                                          << "quarantasette";
    QTest::newRow("leading zero before teen") << "05"
                                              << "cinque";
    QTest::newRow("ten") << "10"
                         << "dieci";
    QTest::newRow("teen") << "17"
                          << "diciassette";
    QTest::newRow("nineteen") << "19"
                              << "diciannove";
    QTest::newRow("twenty") << "20"
                            << "venti";
    QTest::newRow("elided before uno") << "21"
                                       << "ventuno";
    QTest::newRow("no elision before tre") << "23"
                                           << "ventitre";
    QTest::newRow("elided before otto") << "28"
                                        << "ventotto";
    QTest::newRow("thirty-eight") << "38"
                                  << "trentotto";
    QTest::newRow("ninety-one") << "91"
                                << "novantuno";
    QTest::newRow("ninety-nine") << "99"
                                 << "novantanove";
    QTest::newRow("hundred") << "100"
                             << "cento";
    QTest::newRow("no elision after cento with uno") << "101"
                                                     << "centouno";
    QTest::newRow("no elision after cento with otto") << "108"
                                                      << "centootto";
    QTest::newRow("cento and a teen") << "118"
                                      << "centodiciotto";
    QTest::newRow("cento and ottanta") << "180"
                                       << "centoottanta";
    QTest::newRow("two hundred") << "200"
                                 << "duecento";
    QTest::newRow("hundreds and zero tens") << "305"
                                            << "trecentocinque";
    QTest::newRow("hundreds with elision") << "921"
                                           << "novecentoventuno";
    QTest::newRow("largest group") << "999"
                                   << "novecentonovantanove";
    QTest::newRow("three digits after zeros") << "000123"
                                              << "centoventitre";
    QTest::newRow("four significant digits") << "1000"
                                             << "";
    QTest::newRow("letter") << "1a"
                            << "";
    QTest::newRow("space") << " 12"
                           << "";
    QTest::newRow("minus sign") << "-5"
                                << "";
}

void AmountWordsTest::groupInWords()
{
    QFETCH(QString, digits);
    QFETCH(QString, words);
    QCOMPARE(GroupInWords(digits), words);
}

void AmountWordsTest::amountInWords_data()
{
    QTest::addColumn<QString>("amount");
    QTest::addColumn<QString>("words");

    QTest::newRow("one euro") << "1,00"
                              << "uno/00";
    QTest::newRow("twelve fifty") << "12,50"
                                  << "dodici/50";
    QTest::newRow("cents only") << "0,50"
                                << "/50";
    QTest::newRow("five cents") << "0,05"
                                << "/05";
    QTest::newRow("cents copied not converted") << "5,07"
                                                << "cinque/07";
    QTest::newRow("ventuno") << "21,00"
                             << "ventuno/00";
    QTest::newRow("ventitre without accent") << "23,00"
                                             << "ventitre/00";
    QTest::newRow("trentatre without accent") << "33,00"
                                              << "trentatre/00";
    QTest::newRow("ventotto") << "28,00"
                              << "ventotto/00";
    QTest::newRow("trentotto") << "38,40"
                               << "trentotto/40";
    QTest::newRow("ottantuno") << "81,00"
                               << "ottantuno/00";
    QTest::newRow("cento") << "100,00"
                           << "cento/00";
    QTest::newRow("centootto") << "108,00"
                               << "centootto/00";
    QTest::newRow("centodiciotto") << "118,00"
                                   << "centodiciotto/00";
    QTest::newRow("centoottanta") << "180,00"
                                  << "centoottanta/00";
    QTest::newRow("duecento") << "200,00"
                              << "duecento/00";
    QTest::newRow("mille") << "1000,00"
                           << "mille/00";
    QTest::newRow("milleuno") << "1001,00"
                              << "milleuno/00";
    QTest::newRow("millecento") << "1100,00"
                                << "millecento/00";
    QTest::newRow("thousands and hundreds") << "1234,56"
                                            << "milleduecentotrentaquattro/56";
    QTest::newRow("duemilauno") << "2001,10"
                                << "duemilauno/10";
    QTest::newRow("tremila") << "3000,00"
                             << "tremila/00";
    QTest::newRow("undicimila") << "11000,00"
                                << "undicimila/00";
    QTest::newRow("ventunomila") << "21000,00"
                                 << "ventunomila/00";
    QTest::newRow("centomila") << "100000,00"
                               << "centomila/00";
    QTest::newRow("centounomila") << "101000,00"
                                  << "centounomila/00";
    QTest::newRow("largest below a million") << "999999,99"
                                             << "novecentonovantanovemilanovecentonovantanove/99";
    QTest::newRow("spaces around both parts") << " 12 , 50 "
                                              << "dodici/50";
    QTest::newRow("cents as they stand") << "12,5"
                                         << "dodici/5";
    QTest::newRow("only the first comma splits") << "3,4,5"
                                                 << "tre/4,5";
    QTest::newRow("no comma") << ""
                              << "/";
    QTest::newRow("thousands group of zeros") << "000012,00"
                                              << "dodici/00";
    QTest::newRow("thousands group of one with zeros") << "001000,00"
                                                       << "mille/00";
}

void AmountWordsTest::amountInWords()
{
    QFETCH(QString, amount);
    QFETCH(QString, words);
    const std::optional<QString> result = AmountInWords(amount);
    QVERIFY(result.has_value());
    QCOMPARE(*result, words);
}

// Past the thousands, as a cheque writes them: singular for one, "uno" shortened to "un" before
// milioni and miliardi only, groups of zeros silent.
void AmountWordsTest::amountPastMillion_data()
{
    QTest::addColumn<QString>("amount");
    QTest::addColumn<QString>("words");

    QTest::newRow("one million") << "1000000,00"
                                 << "unmilione/00";
    QTest::newRow("one million and a quarter") << "1250000,00"
                                               << "unmilioneduecentocinquantamila/00";
    QTest::newRow("two million") << "2000000,00"
                                 << "duemilioni/00";
    QTest::newRow("million and one euro") << "1000001,01"
                                          << "unmilioneuno/01";
    QTest::newRow("million and mille") << "1001000,00"
                                       << "unmilionemille/00";
    QTest::newRow("million and ventunomila") << "1021000,00"
                                             << "unmilioneventunomila/00";
    QTest::newRow("ventun million") << "21000000,00"
                                    << "ventunmilioni/00";
    QTest::newRow("trentotto million") << "38000000,00"
                                       << "trentottomilioni/00";
    QTest::newRow("centoun million") << "101000000,00"
                                     << "centounmilioni/00";
    QTest::newRow("undici million not shortened") << "11000000,00"
                                                  << "undicimilioni/00";
    QTest::newRow("every group")
        << "123456789,10"
        << "centoventitremilioniquattrocentocinquantaseimilasettecentoottantanove/10";
    QTest::newRow("one milliard") << "1000000000,00"
                                  << "unmiliardo/00";
    QTest::newRow("milliard and million") << "1001000000,00"
                                          << "unmiliardounmilione/00";
    QTest::newRow("milliard and mille") << "1000001000,00"
                                        << "unmiliardomille/00";
    QTest::newRow("trentun milliard") << "31000000005,00"
                                      << "trentunmiliardicinque/00";
    QTest::newRow("duecentoun milliard") << "201000000000,00"
                                         << "duecentounmiliardi/00";
    QTest::newRow("largest in words") << "999999999999,99"
                                      << "novecentonovantanovemiliardinovecentonovantanovemilioni"
                                         "novecentonovantanovemilanovecentonovantanove/99";
    QTest::newRow("leading zeros before the largest")
        << "000999999999999,99"
        << "novecentonovantanovemiliardinovecentonovantanovemilioni"
           "novecentonovantanovemilanovecentonovantanove/99";
}

void AmountWordsTest::amountPastMillion()
{
    QFETCH(QString, amount);
    QFETCH(QString, words);
    const std::optional<QString> result = AmountInWords(amount);
    QVERIFY(result.has_value());
    QCOMPARE(*result, words);
}

void AmountWordsTest::amountWithoutWords_data()
{
    QTest::addColumn<QString>("amount");

    QTest::newRow("one thousand milliards") << "1000000000000,00";
    QTest::newRow("eighteen integer digits") << "123456789012345678,50";
    QTest::newRow("letter in the euros") << "12a,00";
    QTest::newRow("sign in the euros") << "-12,00";
}

void AmountWordsTest::amountWithoutWords()
{
    QFETCH(QString, amount);
    QCOMPARE(AmountInWords(amount), std::nullopt);
}

QTEST_GUILESS_MAIN(AmountWordsTest)
#include "AmountWordsTest.moc"
