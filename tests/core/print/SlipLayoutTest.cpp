// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/print/SlipLayout.h"
#include "RecordingSurface.h"
#include "core/print/PrintPage.h"

#include <QImage>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

SlipTexts filledSlip()
{
    SlipTexts fields;
    fields[PayerName] = u"Mario Rossi"_s;
    fields[PayerAddress] = u"Via Garibaldi 12"_s;
    fields[PayerPostcode] = u"40121"_s;
    fields[PayerTown] = u"Bologna"_s;
    fields[Amount] = u"1234,50"_s;
    fields[AmountWords] = u"milleduecentotrentaquattro/50"_s;
    fields[PayeeLine1] = u"Comune di Bologna"_s;
    fields[PayeeLine2] = u"Servizio Tributi"_s;
    fields[PayeeLine3] = u"Piazza Maggiore 6"_s;
    fields[AccountNumber] = u"12345"_s;
    fields[PaymentReason] = u"Tassa rifiuti"_s; // 2.6 cm at 0.2 cm a character: one line everywhere
    fields[DocumentType] = u"123"_s;
    return fields;
}

QString spaces(int count)
{
    return QString(count, QLatin1Char(' '));
}

QStringList drawn(SlipModel model, const SlipTexts& fields, bool codeLine, double characterWidth = 0.2)
{
    RecordingSurface surface;
    surface.characterWidth = characterWidth;
    DrawSlipModel(surface, model, fields, codeLine, QImage(u":/euro.png"_s));
    return surface.described();
}

} // namespace

// Both models row by row, with the font state in force for each drawing.
class SlipLayoutTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void twoFrameRows_data();
    void twoFrameRows();
    void premarcatiRows_data();
    void premarcatiRows();
    void rowCounts_data();
    void rowCounts();
    void codeLineLeftOut_data();
    void codeLineLeftOut();
    void emptyFields_data();
    void emptyFields();
    void longReason_data();
    void longReason();
    void reasonRunsOnBelowTheSlip();
    void amountRightAligned_data();
    void amountRightAligned();
    void chosenModel_data();
    void chosenModel();
    void codeLineWanted_data();
    void codeLineWanted();
    void wholePage();
};

void SlipLayoutTest::twoFrameRows_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("expected");

    int i = 0;
    auto row = [&i](const char* name, const QString& expected) { QTest::newRow(name) << i++ << expected; };
    row("divider", u"DrawLine 12.40 0.05 12.40 10.10 solid"_s);
    row("line over the code-line zone", u"DrawLine 0.05 8.30 29.70 8.30 solid"_s);
    row("line under the titles", u"DrawLine 0.05 0.40 29.70 0.40 solid"_s);
    row("receipt title",
        u"PrintAt 0.20 0.10 7 regular black |CONTI CORRENTI POSTALI - Ricevuta di Versamento|"_s);
    row("payment title",
        u"PrintAt 13.10 0.10 7 regular black |CONTI CORRENTI POSTALI - Ricevuta di Accredito|"_s);
    row("Banco, receipt", u"PrintAt 10.45 0.10 7 regular black |Banco|"_s);
    row("Posta, receipt", u"PrintAt 11.20 0.10 7 bold black |Posta|"_s);
    row("Banco, payment", u"PrintAt 26.25 0.10 7 regular black |Banco|"_s);
    row("Posta, payment", u"PrintAt 27.00 0.10 7 bold black |Posta|"_s);
    row("euro mark, receipt", u"DrawPicture 0.20 0.70 0.70 0.70 84x84"_s);
    row("account caption, receipt", u"PrintAt 1.00 1.10 8 regular black |sul C/C n.|"_s);
    row("amount caption, receipt", u"PrintAt 6.30 1.10 8 regular black |di Euro|"_s);
    row("words caption, receipt", u"PrintAt 0.20 1.70 6 regular black |IMPORTO IN LETTERE|"_s);
    row("payee caption, receipt", u"PrintAt 0.20 2.00 6 regular black |INTESTATO A|"_s);
    row("reason caption, receipt", u"PrintAt 0.20 3.40 6 regular black |CAUSALE|"_s);
    row("payer caption, receipt", u"PrintAt 0.20 4.80 6 regular black |ESEGUITO DA|"_s);
    row("stamp caption, receipt", u"PrintAt 8.20 7.80 5 regular black |BOLLO DELL'UFFICIO POSTALE|"_s);
    row("notice title", u"PrintAt 2.70 6.50 5 regular black |AVVERTENZE|"_s);
    row("notice line 1",
        u"PrintAt 0.00 6.70 5 regular black "
        "|Il bollettino deve essere compilato in ogni sua parte (con inchiostro nero o blu) e non|"_s);
    row("notice line 2",
        u"PrintAt 0.00 6.90 5 regular black |deve recare abrasioni, correzioni o cancellature.|"_s);
    row("notice line 3",
        u"PrintAt 0.00 7.10 5 regular black |La causale \u00e8 obbligatoria per i versamenti a favore"_s +
            spaces(2) + u"delle Pubbliche Amministrazioni.|"_s);
    row("notice line 4", u"PrintAt 0.00 7.30 5 regular black |Le informazioni"_s + spaces(2) +
                             u"richieste vanno riportate"_s + spaces(2) + u"in modo identico"_s + spaces(2) +
                             u"in ciascuna delle parti di|"_s);
    row("notice line 5", u"PrintAt 0.00 7.50 5 regular black |cui si compone il bollettino.|"_s);
    row("account, receipt", u"PrintAt 2.70 1.05 9 bold black |12345|"_s);
    row("amount ending at 11.5", u"PrintAt 10.10 1.05 9 bold black |1234,50|"_s);
    row("words, receipt", u"PrintAt 3.00 1.60 9 bold black |milleduecentotrentaquattro/50|"_s);
    row("payee line 1, receipt", u"PrintAt 1.00 2.30 9 bold black |Comune di Bologna|"_s);
    row("payee line 2, receipt", u"PrintAt 1.00 2.60 9 bold black |Servizio Tributi|"_s);
    row("payee line 3, receipt", u"PrintAt 1.00 2.90 9 bold black |Piazza Maggiore 6|"_s);
    row("payer name, receipt", u"PrintAt 1.00 5.10 9 bold black |Mario Rossi|"_s);
    row("payer address, receipt", u"PrintAt 1.00 5.40 9 bold black |Via Garibaldi 12|"_s);
    row("postcode and town, receipt", u"PrintAt 1.00 5.70 9 bold black |40121"_s + spaces(3) + u"Bologna|"_s);
    row("reason at first y 3.4 plus 0.3, receipt", u"PrintAt 1.00 3.70 8 bold black |Tassa rifiuti|"_s);
    row("euro mark, payment", u"DrawPicture 13.10 0.70 0.70 0.70 84x84"_s);
    row("account caption, payment", u"PrintAt 14.10 1.10 8 regular black |sul C/C n.|"_s);
    row("amount caption, payment", u"PrintAt 22.60 1.10 8 regular black |di Euro|"_s);
    row("words caption, payment", u"PrintAt 15.50 1.70 6 regular black |IMPORTO IN LETTERE|"_s);
    row("payee caption, payment", u"PrintAt 13.10 2.00 6 regular black |INTESTATO A|"_s);
    row("reason caption, payment", u"PrintAt 13.10 3.40 6 regular black |CAUSALE|"_s);
    row("payer caption, payment", u"PrintAt 18.00 4.80 6 regular black |ESEGUITO DA|"_s);
    row("stamp caption, payment", u"PrintAt 13.90 7.80 5 regular black |BOLLO DELL'UFFICIO POSTALE|"_s);
    row("warning over the code-line zone", u"PrintAt 19.70 7.80 6 bold black |IMPORTANTE:"_s + spaces(2) +
                                               u"NON"_s + spaces(2) + u"SCRIVERE"_s + spaces(2) + u"NELLA"_s +
                                               spaces(2) + u"ZONA"_s + spaces(2) + u"SOTTOSTANTE|"_s);
    row("code caption", u"PrintAt 14.40 8.05 6 regular black |codice bancoposta|"_s);
    row("amount piece caption", u"PrintAt 22.10 8.05 6 regular black |importo in euro|"_s);
    row("account piece caption", u"PrintAt 24.60 8.05 6 regular black |numero conto|"_s);
    row("type piece caption", u"PrintAt 26.60 8.05 6 regular black |tipo documento|"_s);
    row("account, payment", u"PrintAt 16.00 1.05 9 bold black |12345|"_s);
    row("amount ending at 28.0", u"PrintAt 26.60 1.05 9 bold black |1234,50|"_s);
    row("words, payment", u"PrintAt 18.20 1.60 9 bold black |milleduecentotrentaquattro/50|"_s);
    row("payee line 1, payment", u"PrintAt 14.00 2.30 9 bold black |Comune di Bologna|"_s);
    row("payee line 2, payment", u"PrintAt 14.00 2.60 9 bold black |Servizio Tributi|"_s);
    row("payee line 3, payment", u"PrintAt 14.00 2.90 9 bold black |Piazza Maggiore 6|"_s);
    row("payer name, payment", u"PrintAt 18.90 5.10 9 bold black |Mario Rossi|"_s);
    row("payer address, payment", u"PrintAt 18.90 5.40 9 bold black |Via Garibaldi 12|"_s);
    row("postcode and town, payment",
        u"PrintAt 18.90 5.70 9 bold black |40121"_s + spaces(3) + u"Bologna|"_s);
    row("reason at first y 3.4 plus 0.3, payment", u"PrintAt 14.00 3.70 8 bold black |Tassa rifiuti|"_s);
    row("document-type mark", u"PrintAt 13.10 1.55 11 bold black |TD"_s + spaces(4) + u"123|"_s);
    row("type piece", u"PrintAt 27.00 9.10 11 bold black |123>|"_s);
    row("amount piece", u"PrintAt 21.50 9.10 11 bold black |00001234+50>|"_s);
    row("account piece", u"PrintAt 24.40 9.10 11 bold black |00012345<|"_s);
    row("cut line under the slip", u"DrawLine 0.00 10.10 29.70 10.10 dashed"_s);
    row("cut line over the slip", u"DrawLine 0.00 0.00 29.70 0.00 dashed"_s);
    row("cutting instructions 1",
        u"PrintAt 3.00 11.00 11 regular black |TAGLIARE LUNGO LE LINEE TRATTEGGIATE"_s + spaces(15) +
            u"TAGLIARE LUNGO LE LINEE TRATTEGGIATE|"_s);
    row("cutting instructions 2",
        u"PrintAt 3.00 11.50 11 regular black |DA UN MARGINE ALL'ALTRO DEL FOGLIO"_s + spaces(21) +
            u"DA UN MARGINE ALL'ALTRO DEL FOGLIO|"_s);
}

void SlipLayoutTest::twoFrameRows()
{
    QFETCH(int, index);
    QFETCH(QString, expected);

    const QStringList calls = drawn(SlipModel::TwoFrame, filledSlip(), true);
    QVERIFY(index < calls.size());
    QCOMPARE(calls.at(index), expected);
}

void SlipLayoutTest::premarcatiRows_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("expected");

    int i = 0;
    auto row = [&i](const char* name, const QString& expected) { QTest::newRow(name) << i++ << expected; };
    row("divider", u"DrawLine 8.30 0.05 8.30 10.10 solid"_s);
    row("line over the code-line zone", u"DrawLine 8.30 8.35 24.70 8.35 solid"_s);
    row("header band", u"DrawFilledBox 0.05 0.05 24.65 0.55"_s);
    row("receipt title in white",
        u"PrintAt 0.20 0.20 6 bold white |CONTI CORRENTI POSTALI - Ricevuta di Versamento"_s + spaces(21) +
            u"BancoPOSTA|"_s);
    row("payment title in white",
        u"PrintAt 9.20 0.15 9 bold white |CONTI CORRENTI POSTALI - Ricevuta di Accredito|"_s);
    row("Banco in white", u"PrintAt 22.65 0.15 8 regular white |Banco|"_s);
    row("POSTA in white", u"PrintAt 23.45 0.15 8 bold white |POSTA|"_s);
    row("euro mark, receipt", u"DrawPicture 0.20 0.75 0.70 0.70 84x84"_s);
    row("amount caption, receipt, black again", u"PrintAt 1.10 1.10 8 regular black |di Euro|"_s);
    row("account caption, receipt", u"PrintAt 0.20 1.60 8 regular black |sul C/C n.|"_s);
    row("payee caption, receipt", u"PrintAt 0.20 2.00 8 regular black |intestato a:|"_s);
    row("payer caption, receipt", u"PrintAt 0.20 3.25 8 regular black |Eseguito da:|"_s);
    row("reason caption, receipt", u"PrintAt 0.20 4.50 8 regular black |causale:|"_s);
    row("stamp caption, receipt", u"PrintAt 4.00 7.80 6 regular black |BOLLO DELL'UFFICIO POSTALE|"_s);
    row("amount ending at 4.0", u"PrintAt 2.60 1.05 9 bold black |1234,50|"_s);
    row("account, receipt", u"PrintAt 1.50 1.55 9 bold black |12345|"_s);
    row("payee line 1, receipt", u"PrintAt 2.10 2.00 9 bold black |Comune di Bologna|"_s);
    row("payee line 2, receipt", u"PrintAt 2.10 2.30 9 bold black |Servizio Tributi|"_s);
    row("payee line 3, receipt", u"PrintAt 2.10 2.60 9 bold black |Piazza Maggiore 6|"_s);
    row("payer name, receipt", u"PrintAt 2.10 3.25 9 bold black |Mario Rossi|"_s);
    row("payer address, receipt", u"PrintAt 2.10 3.55 9 bold black |Via Garibaldi 12|"_s);
    row("postcode and town, receipt", u"PrintAt 2.10 3.85 9 bold black |40121"_s + spaces(3) + u"Bologna|"_s);
    row("reason at first y 4.25 plus 0.3, receipt", u"PrintAt 2.10 4.55 8 bold black |Tassa rifiuti|"_s);
    row("euro mark, payment", u"DrawPicture 9.20 0.75 0.70 0.70 84x84"_s);
    row("account caption, payment", u"PrintAt 10.50 1.10 8 regular black |sul C/C n.|"_s);
    row("amount caption, payment", u"PrintAt 18.90 1.10 8 regular black |di Euro|"_s);
    row("payee caption, payment", u"PrintAt 9.20 2.30 8 regular black |intestato a:|"_s);
    row("payer caption, payment", u"PrintAt 15.00 3.90 8 regular black |Eseguito da:|"_s);
    row("reason caption, payment", u"PrintAt 15.00 5.70 8 regular black |causale:|"_s);
    row("stamp caption, payment", u"PrintAt 10.00 7.80 6 regular black |BOLLO DELL'UFFICIO POSTALE|"_s);
    row("warning over the code-line zone", u"PrintAt 15.00 7.80 7 bold black |Importante"_s + spaces(2) +
                                               u"non"_s + spaces(2) + u"scrivere"_s + spaces(2) + u"nella"_s +
                                               spaces(2) + u"zona"_s + spaces(2) + u"sottostante!|"_s);
    row("code caption", u"PrintAt 11.00 8.05 6 regular black |codice bancoposta|"_s);
    row("amount piece caption", u"PrintAt 17.30 8.05 6 regular black |importo in euro|"_s);
    row("account piece caption", u"PrintAt 20.80 8.05 6 regular black |numero conto|"_s);
    row("type piece caption", u"PrintAt 23.50 8.05 6 regular black |td|"_s);
    row("account, payment", u"PrintAt 12.00 1.05 9 bold black |12345|"_s);
    row("amount ending at 23.0", u"PrintAt 21.60 1.05 9 bold black |1234,50|"_s);
    row("payee line 1, payment", u"PrintAt 9.20 2.60 9 bold black |Comune di Bologna|"_s);
    row("payee line 2, payment", u"PrintAt 9.20 2.90 9 bold black |Servizio Tributi|"_s);
    row("payee line 3, payment", u"PrintAt 9.20 3.20 9 bold black |Piazza Maggiore 6|"_s);
    row("payer name, payment", u"PrintAt 15.60 4.20 9 bold black |Mario Rossi|"_s);
    row("payer address, payment", u"PrintAt 15.60 4.50 9 bold black |Via Garibaldi 12|"_s);
    row("postcode and town, payment",
        u"PrintAt 15.60 4.80 9 bold black |40121"_s + spaces(3) + u"Bologna|"_s);
    row("reason at first y 5.7 plus 0.3, payment", u"PrintAt 15.60 6.00 8 bold black |Tassa rifiuti|"_s);
    row("document-type mark", u"PrintAt 9.20 1.70 11 bold black |TD"_s + spaces(4) + u"123|"_s);
    row("type piece", u"PrintAt 23.20 9.10 11 bold black |123>|"_s);
    row("amount piece", u"PrintAt 16.80 9.10 11 bold black |00001234+50>|"_s);
    row("account piece", u"PrintAt 20.50 9.10 11 bold black |00012345<|"_s);
    row("cut line under the slip", u"DrawLine 0.00 10.10 24.70 10.10 dashed"_s);
    row("cut line on the left", u"DrawLine 0.00 0.00 0.00 10.10 dashed"_s);
    row("cut line on the right", u"DrawLine 24.70 0.00 24.70 10.10 dashed"_s);
    row("cut line over the slip", u"DrawLine 0.00 0.00 24.70 0.00 dashed"_s);
    row("cutting notice", u"PrintAt 3.00 11.00 11 regular black |TAGLIARE LUNGO LA LINEA TRATTEGGIATA"_s +
                              spaces(15) + u"TAGLIARE LUNGO LA LINEA TRATTEGGIATA|"_s);
}

void SlipLayoutTest::premarcatiRows()
{
    QFETCH(int, index);
    QFETCH(QString, expected);

    const QStringList calls = drawn(SlipModel::Premarcati, filledSlip(), true);
    QVERIFY(index < calls.size());
    QCOMPARE(calls.at(index), expected);
}

void SlipLayoutTest::rowCounts_data()
{
    QTest::addColumn<SlipModel>("model");
    QTest::addColumn<bool>("codeLine");
    QTest::addColumn<int>("count");

    QTest::newRow("2 frame with the code line") << SlipModel::TwoFrame << true << 64;
    QTest::newRow("2 frame without the code line") << SlipModel::TwoFrame << false << 61;
    QTest::newRow("premarcati with the code line") << SlipModel::Premarcati << true << 53;
    QTest::newRow("premarcati without the code line") << SlipModel::Premarcati << false << 50;
}

void SlipLayoutTest::rowCounts()
{
    QFETCH(SlipModel, model);
    QFETCH(bool, codeLine);
    QFETCH(int, count);

    QCOMPARE(drawn(model, filledSlip(), codeLine).size(), count);
}

void SlipLayoutTest::codeLineLeftOut_data()
{
    QTest::addColumn<SlipModel>("model");
    QTest::addColumn<int>("firstPiece");

    // The three pieces are the only difference; the document-type mark stays.
    QTest::newRow("2 frame") << SlipModel::TwoFrame << 57;
    QTest::newRow("premarcati") << SlipModel::Premarcati << 45;
}

void SlipLayoutTest::codeLineLeftOut()
{
    QFETCH(SlipModel, model);
    QFETCH(int, firstPiece);

    QStringList with = drawn(model, filledSlip(), true);
    const QStringList without = drawn(model, filledSlip(), false);
    const QStringList pieces = with.mid(firstPiece, 3);
    QVERIFY(pieces.at(0).endsWith(u"|123>|"_s));
    QVERIFY(pieces.at(1).endsWith(u"|00001234+50>|"_s));
    QVERIFY(pieces.at(2).endsWith(u"|00012345<|"_s));
    with.remove(firstPiece, 3);
    QCOMPARE(without, with);
    QVERIFY(without.at(firstPiece - 1).endsWith(u"|TD    123|"_s));
}

void SlipLayoutTest::emptyFields_data()
{
    QTest::addColumn<SlipModel>("model");
    QTest::addColumn<QStringList>("fieldRows");

    // Every field row still draws, empty; the reason draws no line at all.
    QTest::newRow("2 frame") << SlipModel::TwoFrame
                             << QStringList{
                                    u"PrintAt 2.70 1.05 9 bold black ||"_s,
                                    u"PrintAt 11.50 1.05 9 bold black ||"_s,
                                    u"PrintAt 3.00 1.60 9 bold black ||"_s,
                                    u"PrintAt 1.00 2.30 9 bold black ||"_s,
                                    u"PrintAt 1.00 2.60 9 bold black ||"_s,
                                    u"PrintAt 1.00 2.90 9 bold black ||"_s,
                                    u"PrintAt 1.00 5.10 9 bold black ||"_s,
                                    u"PrintAt 1.00 5.40 9 bold black ||"_s,
                                    u"PrintAt 1.00 5.70 9 bold black |   |"_s,
                                    u"DrawPicture 13.10 0.70 0.70 0.70 84x84"_s,
                                    u"PrintAt 16.00 1.05 9 bold black ||"_s,
                                    u"PrintAt 28.00 1.05 9 bold black ||"_s,
                                    u"PrintAt 18.20 1.60 9 bold black ||"_s,
                                    u"PrintAt 14.00 2.30 9 bold black ||"_s,
                                    u"PrintAt 14.00 2.60 9 bold black ||"_s,
                                    u"PrintAt 14.00 2.90 9 bold black ||"_s,
                                    u"PrintAt 18.90 5.10 9 bold black ||"_s,
                                    u"PrintAt 18.90 5.40 9 bold black ||"_s,
                                    u"PrintAt 18.90 5.70 9 bold black |   |"_s,
                                    u"PrintAt 13.10 1.55 11 bold black |TD    |"_s,
                                    u"PrintAt 27.00 9.10 11 bold black |>|"_s,
                                    u"PrintAt 21.50 9.10 11 bold black |00000000+>|"_s,
                                    u"PrintAt 24.40 9.10 11 bold black |00000000<|"_s,
                                };
    QTest::newRow("premarcati") << SlipModel::Premarcati
                                << QStringList{
                                       u"PrintAt 4.00 1.05 9 bold black ||"_s,
                                       u"PrintAt 1.50 1.55 9 bold black ||"_s,
                                       u"PrintAt 2.10 2.00 9 bold black ||"_s,
                                       u"PrintAt 2.10 2.30 9 bold black ||"_s,
                                       u"PrintAt 2.10 2.60 9 bold black ||"_s,
                                       u"PrintAt 2.10 3.25 9 bold black ||"_s,
                                       u"PrintAt 2.10 3.55 9 bold black ||"_s,
                                       u"PrintAt 2.10 3.85 9 bold black |   |"_s,
                                       u"DrawPicture 9.20 0.75 0.70 0.70 84x84"_s,
                                       u"PrintAt 12.00 1.05 9 bold black ||"_s,
                                       u"PrintAt 23.00 1.05 9 bold black ||"_s,
                                       u"PrintAt 9.20 2.60 9 bold black ||"_s,
                                       u"PrintAt 9.20 2.90 9 bold black ||"_s,
                                       u"PrintAt 9.20 3.20 9 bold black ||"_s,
                                       u"PrintAt 15.60 4.20 9 bold black ||"_s,
                                       u"PrintAt 15.60 4.50 9 bold black ||"_s,
                                       u"PrintAt 15.60 4.80 9 bold black |   |"_s,
                                       u"PrintAt 9.20 1.70 11 bold black |TD    |"_s,
                                       u"PrintAt 23.20 9.10 11 bold black |>|"_s,
                                       u"PrintAt 16.80 9.10 11 bold black |00000000+>|"_s,
                                       u"PrintAt 20.50 9.10 11 bold black |00000000<|"_s,
                                   };
}

void SlipLayoutTest::emptyFields()
{
    QFETCH(SlipModel, model);
    QFETCH(QStringList, fieldRows);

    const QStringList calls = drawn(model, SlipTexts{}, true);
    // The field rows in drawing order: every call that is not a fixed text, a line or the band,
    // picked out by position in the call list.
    QStringList fieldCalls;
    for (const QString& call : calls) {
        if (fieldRows.contains(call))
            fieldCalls << call;
    }
    QCOMPARE(fieldCalls, fieldRows);
    // The full table less the two reason rows.
    const QStringList filled = drawn(model, filledSlip(), true);
    QCOMPARE(calls.size(), filled.size() - 2);
    for (const QString& call : calls)
        QVERIFY2(!call.contains(u"Tassa"_s), qPrintable(call));
}

void SlipLayoutTest::longReason_data()
{
    QTest::addColumn<SlipModel>("model");
    QTest::addColumn<double>("characterWidth");
    QTest::addColumn<QStringList>("reasonLines");

    const QString reason = QString(60, QLatin1Char('x'));
    // 0.3 cm a character: 34 characters reach 10.0 (receipt), 47 reach 14.0 (payment).
    QTest::newRow("2 frame, 0.3 cm a character")
        << SlipModel::TwoFrame << 0.3
        << QStringList{u"PrintAt 1.00 3.70 8 bold black |"_s + reason.left(34) + u'|',
                       u"PrintAt 1.00 4.00 8 bold black |"_s + reason.left(26) + u'|',
                       u"PrintAt 14.00 3.70 8 bold black |"_s + reason.left(47) + u'|',
                       u"PrintAt 14.00 4.00 8 bold black |"_s + reason.left(13) + u'|'};
    // 0.4 cm a character: 14 characters reach 5.5 (receipt), 19 reach 7.5 (payment).
    QTest::newRow("premarcati, 0.4 cm a character")
        << SlipModel::Premarcati << 0.4
        << QStringList{u"PrintAt 2.10 4.55 8 bold black |"_s + reason.left(14) + u'|',
                       u"PrintAt 2.10 4.85 8 bold black |"_s + reason.left(14) + u'|',
                       u"PrintAt 2.10 5.15 8 bold black |"_s + reason.left(14) + u'|',
                       u"PrintAt 2.10 5.45 8 bold black |"_s + reason.left(14) + u'|',
                       u"PrintAt 2.10 5.75 8 bold black |"_s + reason.left(4) + u'|',
                       u"PrintAt 15.60 6.00 8 bold black |"_s + reason.left(19) + u'|',
                       u"PrintAt 15.60 6.30 8 bold black |"_s + reason.left(19) + u'|',
                       u"PrintAt 15.60 6.60 8 bold black |"_s + reason.left(19) + u'|',
                       u"PrintAt 15.60 6.90 8 bold black |"_s + reason.left(3) + u'|'};
}

void SlipLayoutTest::longReason()
{
    QFETCH(SlipModel, model);
    QFETCH(double, characterWidth);
    QFETCH(QStringList, reasonLines);

    SlipTexts fields;
    fields[PaymentReason] = QString(60, QLatin1Char('x'));
    const QStringList calls = drawn(model, fields, true, characterWidth);
    QStringList lines;
    for (const QString& call : calls) {
        if (call.contains(u"|xxx"_s))
            lines << call;
    }
    QCOMPARE(lines, reasonLines);
}

void SlipLayoutTest::reasonRunsOnBelowTheSlip()
{
    // 0.4 cm a character: 14 to a line in the premarcati receipt part. 170 characters make 12
    // full lines and a 13th of 2; the 12th stands at 4.25 + 12 * 0.3 = 7.85, over the stamp
    // caption, the 13th at 8.15.
    SlipTexts fields;
    fields[PaymentReason] = QString(170, QLatin1Char('x'));
    QStringList receiptLines;
    for (const QString& call : drawn(SlipModel::Premarcati, fields, true, 0.4)) {
        if (call.startsWith(u"PrintAt 2.10 "_s) && call.contains(u"|xx"_s))
            receiptLines << call;
    }
    QCOMPARE(receiptLines.size(), 13);
    QCOMPARE(receiptLines.at(11), u"PrintAt 2.10 7.85 8 bold black |"_s + QString(14, u'x') + u'|');
    QCOMPARE(receiptLines.at(12), u"PrintAt 2.10 8.15 8 bold black |xx|"_s);
}

void SlipLayoutTest::amountRightAligned_data()
{
    QTest::addColumn<SlipModel>("model");
    QTest::addColumn<QString>("amount");
    QTest::addColumn<QStringList>("amountRows");

    // 0.2 cm a character.
    QTest::newRow("2 frame, 0,50") << SlipModel::TwoFrame << u"0,50"_s
                                   << QStringList{u"PrintAt 10.70 1.05 9 bold black |0,50|"_s,
                                                  u"PrintAt 27.20 1.05 9 bold black |0,50|"_s};
    QTest::newRow("2 frame, twelve integer digits")
        << SlipModel::TwoFrame << u"123456789012,34"_s
        << QStringList{u"PrintAt 8.50 1.05 9 bold black |123456789012,34|"_s,
                       u"PrintAt 25.00 1.05 9 bold black |123456789012,34|"_s};
    QTest::newRow("premarcati, 0,50") << SlipModel::Premarcati << u"0,50"_s
                                      << QStringList{u"PrintAt 3.20 1.05 9 bold black |0,50|"_s,
                                                     u"PrintAt 22.20 1.05 9 bold black |0,50|"_s};
    QTest::newRow("premarcati, twelve integer digits")
        << SlipModel::Premarcati << u"123456789012,34"_s
        << QStringList{u"PrintAt 1.00 1.05 9 bold black |123456789012,34|"_s,
                       u"PrintAt 20.00 1.05 9 bold black |123456789012,34|"_s};
}

void SlipLayoutTest::amountRightAligned()
{
    QFETCH(SlipModel, model);
    QFETCH(QString, amount);
    QFETCH(QStringList, amountRows);

    SlipTexts fields;
    fields[Amount] = amount;
    QStringList rows;
    for (const QString& call : drawn(model, fields, false)) {
        if (call.endsWith(u'|' + amount + u'|'))
            rows << call;
    }
    QCOMPARE(rows, amountRows);
}

void SlipLayoutTest::chosenModel_data()
{
    QTest::addColumn<bool>("premarcati");
    QTest::addColumn<bool>("twoFrame");
    QTest::addColumn<int>("expected"); // -1: nothing is printed

    QTest::newRow("2 frame selected") << false << true << int(SlipModel::TwoFrame);
    QTest::newRow("premarcati selected") << true << false << int(SlipModel::Premarcati);
    QTest::newRow("both set by a recalled record: premarcati wins")
        << true << true << int(SlipModel::Premarcati);
    QTest::newRow("neither set by a recalled record") << false << false << -1;
}

void SlipLayoutTest::chosenModel()
{
    QFETCH(bool, premarcati);
    QFETCH(bool, twoFrame);
    QFETCH(int, expected);

    PaletteState state;
    state.premarcati = premarcati;
    state.twoFrame = twoFrame;
    const std::optional<SlipModel> model = ChosenSlipModel(state);
    QCOMPARE(model ? int(*model) : -1, expected);
}

void SlipLayoutTest::codeLineWanted_data()
{
    QTest::addColumn<int>("check");
    QTest::addColumn<bool>("wanted");

    QTest::newRow("ticked") << 1 << true;
    QTest::newRow("not ticked") << 0 << false;
    QTest::newRow("greyed is not ticked") << 2 << false;
}

void SlipLayoutTest::codeLineWanted()
{
    QFETCH(int, check);
    QFETCH(bool, wanted);

    PaletteState state;
    state.check = CheckBoxState(check);
    QCOMPARE(CodeLineWanted(state), wanted);
}

void SlipLayoutTest::wholePage()
{
    RecordingSurface surface;
    const SlipTexts fields = filledSlip();
    const QImage euro(u":/euro.png"_s);
    QVERIFY(ComposePage(surface, [&](PrintSurface& page) {
        DrawSlipModel(page, SlipModel::Premarcati, fields, true, euro);
    }));
    const QStringList calls = surface.described();
    QCOMPARE(calls.size(), 55);
    QCOMPARE(calls.first(), u"PageSetUp"_s);
    QCOMPARE(calls.last(), u"EndDocument"_s);

    // A job that fails is reported as failed.
    RecordingSurface failing;
    failing.endResult = false;
    QVERIFY(!ComposePage(
        failing, [&](PrintSurface& page) { DrawSlipModel(page, SlipModel::TwoFrame, fields, true, euro); }));
}

QTEST_MAIN(SlipLayoutTest)
#include "SlipLayoutTest.moc"
