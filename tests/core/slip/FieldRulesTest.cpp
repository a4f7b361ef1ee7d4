// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/slip/FieldRules.h"
#include "core/slip/SlipFields.h"
#include "core/slip/SlipText.h"

#include <QTest>

using namespace Qt::StringLiterals;

class FieldRulesTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void typedCode_data();
    void typedCode();
    void everyFieldKind_data();
    void everyFieldKind();
    void insertedText_data();
    void insertedText();
    void trimmedOfSpaces_data();
    void trimmedOfSpaces();
    void elidedForMessage_data();
    void elidedForMessage();
};

void FieldRulesTest::typedCode_data()
{
    QTest::addColumn<int>("field");
    QTest::addColumn<int>("typed");
    QTest::addColumn<int>("received");

    // Digit fields: 0-9 and backspace; anything else becomes a carriage return.
    QTest::newRow("account digit 0") << int(AccountNumber) << 48 << 48;
    QTest::newRow("account digit 9") << int(AccountNumber) << 57 << 57;
    QTest::newRow("account backspace") << int(AccountNumber) << 8 << 8;
    QTest::newRow("account letter") << int(AccountNumber) << int('a') << 13;
    QTest::newRow("account space") << int(AccountNumber) << 32 << 13;
    QTest::newRow("account point") << int(AccountNumber) << int('.') << 13;
    QTest::newRow("account minus") << int(AccountNumber) << int('-') << 13;
    QTest::newRow("account comma") << int(AccountNumber) << 44 << 13;
    QTest::newRow("account slash before 0") << int(AccountNumber) << 47 << 13;
    QTest::newRow("account colon after 9") << int(AccountNumber) << 58 << 13;
    QTest::newRow("account tab") << int(AccountNumber) << 9 << 13;
    QTest::newRow("account ctrl-v code") << int(AccountNumber) << 22 << 13;
    QTest::newRow("account delete code") << int(AccountNumber) << 127 << 13;
    QTest::newRow("type digit") << int(DocumentType) << int('5') << int('5');
    QTest::newRow("type letter") << int(DocumentType) << int('T') << 13;
    QTest::newRow("type comma") << int(DocumentType) << 44 << 13;
    QTest::newRow("type backspace") << int(DocumentType) << 8 << 8;
    QTest::newRow("postcode digit") << int(PayerPostcode) << int('3') << int('3');
    QTest::newRow("postcode comma") << int(PayerPostcode) << 44 << 13;
    QTest::newRow("postcode backspace") << int(PayerPostcode) << 8 << 8;
    QTest::newRow("postcode superscript two") << int(PayerPostcode) << 0xB2 << 13;
    // The amount takes the comma as well.
    QTest::newRow("amount digit") << int(Amount) << int('4') << int('4');
    QTest::newRow("amount comma") << int(Amount) << 44 << 44;
    QTest::newRow("amount backspace") << int(Amount) << 8 << 8;
    QTest::newRow("amount point") << int(Amount) << int('.') << 13;
    QTest::newRow("amount space") << int(Amount) << 32 << 13;
    QTest::newRow("amount minus") << int(Amount) << int('-') << 13;
    QTest::newRow("amount euro sign") << int(Amount) << 0x20AC << 13;
    QTest::newRow("amount beyond 16 bits") << int(Amount) << 0x1F4B6 << 13;
    // Every other field takes everything.
    QTest::newRow("name letter") << int(PayerName) << int('M') << int('M');
    QTest::newRow("address space") << int(PayerAddress) << 32 << 32;
    QTest::newRow("town accented letter") << int(PayerTown) << 0xE0 << 0xE0;
    QTest::newRow("words letter") << int(AmountWords) << int('z') << int('z');
    QTest::newRow("payee point") << int(PayeeLine1) << int('.') << int('.');
    QTest::newRow("payee 2 minus") << int(PayeeLine2) << int('-') << int('-');
    QTest::newRow("payee 3 comma") << int(PayeeLine3) << 44 << 44;
    QTest::newRow("reason euro sign") << int(PaymentReason) << 0x20AC << 0x20AC;
}

void FieldRulesTest::typedCode()
{
    QFETCH(int, field);
    QFETCH(int, typed);
    QFETCH(int, received);
    QCOMPARE(FilterTypedCode(field, typed), received);
}

void FieldRulesTest::everyFieldKind_data()
{
    QTest::addColumn<int>("field");
    QTest::addColumn<FieldInput>("input");
    QTest::addColumn<int>("maxLength");

    QTest::newRow("PayerName") << 0 << FieldInput::AnyText << 0;
    QTest::newRow("PayerAddress") << 1 << FieldInput::AnyText << 0;
    QTest::newRow("PayerPostcode") << 2 << FieldInput::Digits << 5;
    QTest::newRow("PayerTown") << 3 << FieldInput::AnyText << 0;
    QTest::newRow("Amount") << 4 << FieldInput::Amount << 0;
    QTest::newRow("AmountWords") << 5 << FieldInput::AnyText << 0;
    QTest::newRow("PayeeLine1") << 6 << FieldInput::AnyText << 0;
    QTest::newRow("PayeeLine2") << 7 << FieldInput::AnyText << 0;
    QTest::newRow("PayeeLine3") << 8 << FieldInput::AnyText << 0;
    QTest::newRow("AccountNumber") << 9 << FieldInput::Digits << 0;
    QTest::newRow("PaymentReason") << 10 << FieldInput::AnyText << 0;
    QTest::newRow("DocumentType") << 11 << FieldInput::Digits << 0;
}

void FieldRulesTest::everyFieldKind()
{
    QFETCH(int, field);
    QFETCH(FieldInput, input);
    QFETCH(int, maxLength);
    QCOMPARE(FieldInputOf(field), input);
    QCOMPARE(FieldMaxLength(field), maxLength);
}

void FieldRulesTest::insertedText_data()
{
    QTest::addColumn<int>("field");
    QTest::addColumn<QString>("inserted");
    QTest::addColumn<QString>("cleaned");

    QTest::newRow("account keeps digits only") << int(AccountNumber) << "IT 12-345.67\n"
                                               << "1234567";
    QTest::newRow("account drops every line break") << int(AccountNumber) << "12\r\n34\r56\n"
                                                    << "123456";
    QTest::newRow("account drops commas") << int(AccountNumber) << "1,5"
                                          << "15";
    QTest::newRow("account drops other scripts' digits")
        << int(AccountNumber) << QStringLiteral("1\u0662\uFF13") << "1";
    QTest::newRow("type drops letters") << int(DocumentType) << "TD 123"
                                        << "123";
    QTest::newRow("amount keeps digits and comma") << int(Amount) << "EUR 1.234,56 "
                                                   << "1234,56";
    QTest::newRow("amount keeps every comma") << int(Amount) << "1,2,3"
                                              << "1,2,3";
    QTest::newRow("amount nothing acceptable") << int(Amount) << "abc"
                                               << "";
    QTest::newRow("postcode cleaned before the cut") << int(PayerPostcode) << "00 18 4"
                                                     << "00184";
    QTest::newRow("postcode cut to five") << int(PayerPostcode) << "1234567"
                                          << "12345";
    QTest::newRow("name CR LF is one space") << int(PayerName) << "Mario\r\nRossi"
                                             << "Mario Rossi";
    QTest::newRow("name lone LF") << int(PayerName) << "Mario\nRossi"
                                  << "Mario Rossi";
    QTest::newRow("name lone CR") << int(PayerName) << "Mario\rRossi"
                                  << "Mario Rossi";
    QTest::newRow("name LF CR is two breaks") << int(PayerName) << "a\n\rb"
                                              << "a  b";
    QTest::newRow("name blank line") << int(PayerName) << "a\r\n\r\nb"
                                     << "a  b";
    QTest::newRow("address trailing break") << int(PayerAddress) << "Via Roma 1\n"
                                            << "Via Roma 1 ";
    QTest::newRow("town unicode separators")
        << int(PayerTown) << QStringLiteral("a\u2028b\u2029c\u0085d") << "a b c d";
    QTest::newRow("reason vertical tab and form feed") << int(PaymentReason) << "a\vb\fc"
                                                       << "a b c";
    QTest::newRow("reason keeps tab") << int(PaymentReason) << "a\tb"
                                      << "a\tb";
    QTest::newRow("payee keeps accents and symbols")
        << int(PayeeLine1) << QStringLiteral("Citt\u00e0 \u20ac 5%")
        << QStringLiteral("Citt\u00e0 \u20ac 5%");
    QTest::newRow("words field is free text") << int(AmountWords) << "dodici/50"
                                              << "dodici/50";
    QTest::newRow("empty stays empty") << int(PayeeLine2) << ""
                                       << "";
}

void FieldRulesTest::insertedText()
{
    QFETCH(int, field);
    QFETCH(QString, inserted);
    QFETCH(QString, cleaned);
    QCOMPARE(CleanInsertedText(field, inserted), cleaned);
}

void FieldRulesTest::trimmedOfSpaces_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("trimmed");

    QTest::newRow("both ends") << "  Mario Rossi  "
                               << "Mario Rossi";
    QTest::newRow("inner spaces stay") << "Via  Roma"
                                       << "Via  Roma";
    QTest::newRow("only spaces") << "   "
                                 << "";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("tabs stay") << "\tRoma\t"
                               << "\tRoma\t";
    QTest::newRow("spaces outside tabs") << " \tRoma\t "
                                         << "\tRoma\t";
    QTest::newRow("no-break space stays") << QStringLiteral("\u00a0Roma") << QStringLiteral("\u00a0Roma");
    QTest::newRow("nothing to trim") << "123"
                                     << "123";
}

void FieldRulesTest::trimmedOfSpaces()
{
    QFETCH(QString, text);
    QFETCH(QString, trimmed);
    QCOMPARE(TrimmedOfSpaces(text), trimmed);
}

void FieldRulesTest::elidedForMessage_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("max");
    QTest::addColumn<QString>("shown");

    const QString sixty = u"0123456789"_s.repeated(6);
    QTest::newRow("empty") << QString() << 60 << QString();
    QTest::newRow("a short value stays whole") << u"12,5x"_s << 60 << u"12,5x"_s;
    QTest::newRow("exactly the limit stays whole") << sixty << 60 << sixty;
    QTest::newRow("one over the limit is cut, with an ellipsis") << sixty + u"A"_s << 60 << sixty + u"…"_s;
    QTest::newRow("a cell of five megabytes shows its first sixty characters")
        << QString(5'000'000, u'x') << 60 << QString(60, u'x') + u"…"_s;
    QTest::newRow("each line break is one space")
        << u"uno\r\ndue\rtre\nquattro\n\ncinque"_s << 60 << u"uno due tre quattro  cinque"_s;
    QTest::newRow("CR LF counts as one character") << u"ab\r\ncdefg"_s << 5 << u"ab cd…"_s;
    QTest::newRow("a line break at the end of a short value") << u"abc\r\n"_s << 5 << u"abc "_s;
    QTest::newRow("a character of two units is not split at the cut")
        << u"abcd\U0001F600xyz"_s << 5 << u"abcd…"_s;
    QTest::newRow("a character of two units that fits stays whole")
        << u"abcd\U0001F600xyz"_s << 6 << u"abcd\U0001F600…"_s;
    QTest::newRow("tabs and accents are kept") << u"\tCittà"_s << 60 << u"\tCittà"_s;
}

void FieldRulesTest::elidedForMessage()
{
    QFETCH(QString, text);
    QFETCH(int, max);
    QFETCH(QString, shown);
    QCOMPARE(ElidedForMessage(text, max), shown);
}

QTEST_GUILESS_MAIN(FieldRulesTest)
#include "FieldRulesTest.moc"
