// SPDX-License-Identifier: GPL-3.0-or-later

#include "PdfReadBack.h"
#include "SampleSlip.h"
#include "core/print/PrintPage.h"
#include "core/print/SlipLayout.h"

#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cmath>

using namespace Qt::StringLiterals;

namespace {

// 0.2 mm.
constexpr double Tolerance = 0.02;
// The files carry the border most printers leave, 1/6 inch (4.23 mm) on every side, and the
// slip is drawn from the corner of the printable area inside it.
constexpr double FileMargin = 0.423;

struct Word {
    QString text;
    double left, top, right; // centimetres from the corner of the printable area
};

} // namespace

// The PDF that Qt writes: one A4 landscape page, its text, and positions read back with
// pdftotext -bbox against the rows of both models.
class SlipPdfTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void onePageA4Landscape_data();
    void onePageA4Landscape();
    void textIsExtractable_data();
    void textIsExtractable();
    void positions_data();
    void positions();
    void amountEndsAtItsEdge_data();
    void amountEndsAtItsEdge();
    void reasonLines_data();
    void reasonLines();
    void premarcatiStaysLeftOf24_7();
    void fileCarriesAPrintersMargins_data();
    void fileCarriesAPrintersMargins();
    void codeLinePiecesNeverOverlap_data();
    void codeLinePiecesNeverOverlap();

private:
    QString writePdf(SlipModel model, const SlipTexts& fields);
    QList<Word> words(const QString& pdf);

    QTemporaryDir m_directory;
    int m_written = 0;
};

void SlipPdfTest::initTestCase()
{
    QVERIFY(m_directory.isValid());
}

QString SlipPdfTest::writePdf(SlipModel model, const SlipTexts& fields)
{
    const QString path = m_directory.filePath(u"slip-%1.pdf"_s.arg(++m_written));
    const QImage euro(u":/euro.png"_s);
    const Failure failure =
        SavePagePdf(path, [&](PrintSurface& page) { DrawSlipModel(page, model, fields, true, euro); });
    if (failure)
        qWarning("%s", qPrintable(failure.text()));
    return failure ? QString() : path;
}

QList<Word> SlipPdfTest::words(const QString& pdf)
{
    QString error;
    const QList<PdfWord> read = PdfWords(pdf, error);
    if (!error.isEmpty())
        qWarning("%s", qPrintable(error));
    QList<Word> found;
    for (const PdfWord& word : read)
        found.append({word.text, word.left - FileMargin, word.top - FileMargin, word.right - FileMargin});
    return found;
}

void SlipPdfTest::onePageA4Landscape_data()
{
    QTest::addColumn<SlipModel>("model");
    QTest::newRow("2 frame") << SlipModel::TwoFrame;
    QTest::newRow("premarcati") << SlipModel::Premarcati;
}

void SlipPdfTest::onePageA4Landscape()
{
    QFETCH(SlipModel, model);
    const QString pdf = writePdf(model, SampleSlip());
    QVERIFY(!pdf.isEmpty());
    QString error;
    const QString info = QString::fromUtf8(RunPdfTool(u"pdfinfo"_s, {pdf}, error));
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QVERIFY2(info.contains(QRegularExpression(u"Pages:\\s+1\\n"_s)), qPrintable(info));
    QVERIFY2(info.contains(u"842 x 595 pts (A4)"_s), qPrintable(info));
}

void SlipPdfTest::textIsExtractable_data()
{
    QTest::addColumn<SlipModel>("model");
    QTest::addColumn<QStringList>("lines");

    QTest::newRow("2 frame") << SlipModel::TwoFrame
                             << QStringList{u"CONTI CORRENTI POSTALI - Ricevuta di Accredito"_s,
                                            u"La causale \u00e8 obbligatoria per i versamenti a favore"_s,
                                            u"milleduecentotrentaquattro/50"_s, u"00001234+50>"_s};
    QTest::newRow("premarcati, white titles too")
        << SlipModel::Premarcati
        << QStringList{u"CONTI CORRENTI POSTALI - Ricevuta di Versamento"_s, u"Comune di Bologna"_s,
                       u"TAGLIARE LUNGO LA LINEA TRATTEGGIATA"_s, u"00012345<"_s};
}

void SlipPdfTest::textIsExtractable()
{
    QFETCH(SlipModel, model);
    QFETCH(QStringList, lines);

    const QString pdf = writePdf(model, SampleSlip());
    QVERIFY(!pdf.isEmpty());
    QString error;
    const QString text = QString::fromUtf8(RunPdfTool(u"pdftotext"_s, {pdf, u"-"_s}, error));
    QVERIFY2(error.isEmpty(), qPrintable(error));
    for (const QString& line : lines)
        QVERIFY2(text.contains(line), qPrintable(line));
}

void SlipPdfTest::positions_data()
{
    QTest::addColumn<SlipModel>("model");
    QTest::addColumn<QString>("word");
    QTest::addColumn<double>("x");
    QTest::addColumn<double>("y");

    // The first word of a row, at the top-left that the row gives.
    const SlipModel two = SlipModel::TwoFrame;
    QTest::newRow("2 frame 4 receipt title") << two << u"CONTI"_s << 0.2 << 0.1;
    QTest::newRow("2 frame 5 payment title") << two << u"CONTI"_s << 13.1 << 0.1;
    QTest::newRow("2 frame 7 Posta") << two << u"Posta"_s << 11.2 << 0.1;
    QTest::newRow("2 frame 8 Banco") << two << u"Banco"_s << 26.25 << 0.1;
    QTest::newRow("2 frame 18 notice title") << two << u"AVVERTENZE"_s << 2.7 << 6.5;
    QTest::newRow("2 frame 24 account") << two << u"12345"_s << 2.7 << 1.05;
    QTest::newRow("2 frame 26 words") << two << u"milleduecentotrentaquattro/50"_s << 3.0 << 1.6;
    QTest::newRow("2 frame 32 postcode") << two << u"40121"_s << 1.0 << 5.7;
    QTest::newRow("2 frame 40 payer caption") << two << u"ESEGUITO"_s << 18.0 << 4.8;
    QTest::newRow("2 frame 47 account") << two << u"12345"_s << 16.0 << 1.05;
    QTest::newRow("2 frame 53 payer") << two << u"Mario"_s << 18.9 << 5.1;
    QTest::newRow("2 frame 57 document-type mark") << two << u"TD"_s << 13.1 << 1.55;
    QTest::newRow("2 frame 58 type piece") << two << u"123>"_s << 27.0 << 9.1;
    QTest::newRow("2 frame 59 amount piece") << two << u"00001234+50>"_s << 21.5 << 9.1;
    QTest::newRow("2 frame 60 account piece") << two << u"00012345<"_s << 24.4 << 9.1;
    QTest::newRow("2 frame 64 cutting instructions") << two << u"DA"_s << 3.0 << 11.5;

    const SlipModel pre = SlipModel::Premarcati;
    QTest::newRow("premarcati 4 receipt title") << pre << u"CONTI"_s << 0.2 << 0.2;
    QTest::newRow("premarcati 5 payment title") << pre << u"CONTI"_s << 9.2 << 0.15;
    // Rows 6 and 7 touch: "Banco" and "POSTA" read as one word.
    QTest::newRow("premarcati 6 and 7 BancoPOSTA") << pre << u"BancoPOSTA"_s << 22.65 << 0.15;
    QTest::newRow("premarcati 9 amount caption") << pre << u"di"_s << 1.1 << 1.1;
    QTest::newRow("premarcati 16 account") << pre << u"12345"_s << 1.5 << 1.55;
    QTest::newRow("premarcati 22 postcode") << pre << u"40121"_s << 2.1 << 3.85;
    QTest::newRow("premarcati 31 warning") << pre << u"Importante"_s << 15.0 << 7.8;
    QTest::newRow("premarcati 35 td") << pre << u"td"_s << 23.5 << 8.05;
    QTest::newRow("premarcati 41 payer") << pre << u"Mario"_s << 15.6 << 4.2;
    QTest::newRow("premarcati 45 document-type mark") << pre << u"TD"_s << 9.2 << 1.7;
    QTest::newRow("premarcati 46 type piece") << pre << u"123>"_s << 23.2 << 9.1;
    QTest::newRow("premarcati 47 amount piece") << pre << u"00001234+50>"_s << 16.8 << 9.1;
    QTest::newRow("premarcati 48 account piece") << pre << u"00012345<"_s << 20.5 << 9.1;
    QTest::newRow("premarcati 53 cutting notice") << pre << u"TAGLIARE"_s << 3.0 << 11.0;
}

void SlipPdfTest::positions()
{
    QFETCH(SlipModel, model);
    QFETCH(QString, word);
    QFETCH(double, x);
    QFETCH(double, y);

    const QString pdf = writePdf(model, SampleSlip());
    QVERIFY(!pdf.isEmpty());
    QStringList seen;
    bool found = false;
    for (const Word& candidate : words(pdf)) {
        if (candidate.text != word)
            continue;
        seen << u"(%1, %2)"_s.arg(candidate.left, 0, 'f', 3).arg(candidate.top, 0, 'f', 3);
        found = found || (qAbs(candidate.left - x) <= Tolerance && qAbs(candidate.top - y) <= Tolerance);
    }
    QVERIFY2(found, qPrintable(word + u" found at "_s + seen.join(u", "_s)));
}

void SlipPdfTest::amountEndsAtItsEdge_data()
{
    QTest::addColumn<SlipModel>("model");
    QTest::addColumn<QString>("amount");
    QTest::addColumn<double>("receiptEdge");
    QTest::addColumn<double>("paymentEdge");

    QTest::newRow("2 frame, 0,50") << SlipModel::TwoFrame << u"0,50"_s << 11.5 << 28.0;
    QTest::newRow("2 frame, 1234,50") << SlipModel::TwoFrame << u"1234,50"_s << 11.5 << 28.0;
    QTest::newRow("2 frame, 111111111111,11") << SlipModel::TwoFrame << u"111111111111,11"_s << 11.5 << 28.0;
    QTest::newRow("premarcati, 0,50") << SlipModel::Premarcati << u"0,50"_s << 4.0 << 23.0;
    QTest::newRow("premarcati, 1234,50") << SlipModel::Premarcati << u"1234,50"_s << 4.0 << 23.0;
    QTest::newRow("premarcati, 111111111111,11")
        << SlipModel::Premarcati << u"111111111111,11"_s << 4.0 << 23.0;
}

void SlipPdfTest::amountEndsAtItsEdge()
{
    QFETCH(SlipModel, model);
    QFETCH(QString, amount);
    QFETCH(double, receiptEdge);
    QFETCH(double, paymentEdge);

    SlipTexts fields = SampleSlip();
    fields[Amount] = amount;
    const QString pdf = writePdf(model, fields);
    QVERIFY(!pdf.isEmpty());
    QList<double> rightEdges;
    for (const Word& word : words(pdf)) {
        if (word.text == amount && qAbs(word.top - 1.05) <= Tolerance)
            rightEdges << word.right;
    }
    QCOMPARE(rightEdges.size(), 2);
    std::sort(rightEdges.begin(), rightEdges.end());
    QVERIFY2(qAbs(rightEdges[0] - receiptEdge) <= Tolerance, qPrintable(QString::number(rightEdges[0])));
    QVERIFY2(qAbs(rightEdges[1] - paymentEdge) <= Tolerance, qPrintable(QString::number(rightEdges[1])));
}

void SlipPdfTest::reasonLines_data()
{
    QTest::addColumn<SlipModel>("model");
    QTest::addColumn<QStringList>("lineWords");
    QTest::addColumn<QList<double>>("xs");
    QTest::addColumn<QList<double>>("ys");

    // A hundred digits in 8 point bold, 0.15691 cm each: 64 and 90 to a line in the 2 frame
    // model (limits 10.0 and 14.0), 36 and 48 in the premarcati model (5.5 and 7.5).
    const QString digits = QStringLiteral("0123456789").repeated(10);
    QTest::newRow("2 frame") << SlipModel::TwoFrame
                             << QStringList{digits.left(64), digits.mid(64), digits.left(90), digits.mid(90)}
                             << QList<double>{1.0, 1.0, 14.0, 14.0} << QList<double>{3.7, 4.0, 3.7, 4.0};
    QTest::newRow("premarcati") << SlipModel::Premarcati
                                << QStringList{digits.left(36), digits.mid(36, 36), digits.mid(72),
                                               digits.left(48), digits.mid(48, 48), digits.mid(96)}
                                << QList<double>{2.1, 2.1, 2.1, 15.6, 15.6, 15.6}
                                << QList<double>{4.55, 4.85, 5.15, 6.0, 6.3, 6.6};
}

void SlipPdfTest::reasonLines()
{
    QFETCH(SlipModel, model);
    QFETCH(QStringList, lineWords);
    QFETCH(QList<double>, xs);
    QFETCH(QList<double>, ys);

    SlipTexts fields = SampleSlip();
    fields[PaymentReason] = QStringLiteral("0123456789").repeated(10);
    const QString pdf = writePdf(model, fields);
    QVERIFY(!pdf.isEmpty());
    const QList<Word> all = words(pdf);
    for (qsizetype i = 0; i < lineWords.size(); ++i) {
        const auto match = std::find_if(all.begin(), all.end(), [&](const Word& word) {
            return word.text == lineWords[i] && qAbs(word.left - xs[i]) <= Tolerance &&
                   qAbs(word.top - ys[i]) <= Tolerance;
        });
        QVERIFY2(match != all.end(), qPrintable(lineWords[i]));
    }
}

void SlipPdfTest::premarcatiStaysLeftOf24_7()
{
    // The rest of the page width stays blank: nothing of the slip reaches past its right frame.
    const QString pdf = writePdf(SlipModel::Premarcati, SampleSlip());
    QVERIFY(!pdf.isEmpty());
    const QList<Word> all = words(pdf);
    QVERIFY(all.size() > 50);
    for (const Word& word : all)
        QVERIFY2(word.right <= 24.7, qPrintable(word.text + u" ends at "_s + QString::number(word.right)));
}

void SlipPdfTest::fileCarriesAPrintersMargins_data()
{
    QTest::addColumn<SlipModel>("model");
    QTest::addColumn<QString>("word");
    QTest::addColumn<double>("x");
    QTest::addColumn<double>("y");

    // Measured from the sheet's own corner: the row's place plus 4.23 mm across and down.
    QTest::newRow("2 frame receipt title") << SlipModel::TwoFrame << u"CONTI"_s << 0.623 << 0.523;
    QTest::newRow("2 frame notice title") << SlipModel::TwoFrame << u"AVVERTENZE"_s << 3.123 << 6.923;
    QTest::newRow("premarcati receipt title") << SlipModel::Premarcati << u"CONTI"_s << 0.623 << 0.623;
    QTest::newRow("premarcati cutting notice") << SlipModel::Premarcati << u"TAGLIARE"_s << 3.423 << 11.423;
}

void SlipPdfTest::fileCarriesAPrintersMargins()
{
    QFETCH(SlipModel, model);
    QFETCH(QString, word);
    QFETCH(double, x);
    QFETCH(double, y);

    const QString pdf = writePdf(model, SampleSlip());
    QVERIFY(!pdf.isEmpty());
    // The sheet stays a whole A4: the margins are inside it, not cut from it.
    QString error;
    const QString info = QString::fromUtf8(RunPdfTool(u"pdfinfo"_s, {u"-box"_s, pdf}, error));
    QVERIFY2(info.contains(u"842 x 595 pts (A4)"_s), qPrintable(info));
    const QList<PdfWord> all = PdfWords(pdf, error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QStringList seen;
    QVERIFY2(FindPdfWord(all, word, x, y, Tolerance, &seen),
             qPrintable(word + u" at "_s + seen.join(u", "_s)));
    // Nothing starts in the border a printer cannot reach.
    for (const PdfWord& each : all) {
        QVERIFY2(each.left >= 0.423 - Tolerance && each.top >= 0.423 - Tolerance,
                 qPrintable(each.text + u" at "_s + QString::number(each.left) + u", "_s +
                            QString::number(each.top)));
    }
}

QTEST_MAIN(SlipPdfTest)

void SlipPdfTest::codeLinePiecesNeverOverlap_data()
{
    QTest::addColumn<SlipModel>("model");
    QTest::addColumn<QString>("amount");
    QTest::addColumn<QString>("account");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QStringList>("pieces"); // as printed, left to right
    QTest::addColumn<double>("slipRight");

    // "2 frame" runs to the sheet's edge: its line stays within what a printer prints of it.
    for (const auto& [model, name, right] :
         {std::tuple{SlipModel::TwoFrame, "2 frame", 29.7 - 2 * FileMargin},
          std::tuple{SlipModel::Premarcati, "premarcati", 24.7}}) {
        // Banks write postal accounts with twelve digits: the four zeros are not printed.
        QTest::addRow("%s, account as banks write it", name)
            << model << u"35,50"_s << u"000012345678"_s << u"123"_s
            << QStringList{u"00000035+50>"_s, u"12345678<"_s, u"123>"_s} << right;
        QTest::addRow("%s, twelve significant digits", name)
            << model << u"35,50"_s << u"123456789012"_s << u"123"_s
            << QStringList{u"00000035+50>"_s, u"123456789012<"_s, u"123>"_s} << right;
        QTest::addRow("%s, every piece long", name)
            << model << u"123456789012,34"_s << u"987654321098765"_s << u"123456"_s
            << QStringList{u"123456789012+34>"_s, u"987654321098765<"_s, u"123456>"_s} << right;
    }
}

// Read back from the PDF: the three pieces on one line, each wholly right of the one before it and
// within the slip.
void SlipPdfTest::codeLinePiecesNeverOverlap()
{
    QFETCH(SlipModel, model);
    QFETCH(QString, amount);
    QFETCH(QString, account);
    QFETCH(QString, type);
    QFETCH(QStringList, pieces);
    QFETCH(double, slipRight);

    SlipTexts fields = SampleSlip();
    fields[Amount] = amount;
    fields[AccountNumber] = account;
    fields[DocumentType] = type;
    const QString pdf = writePdf(model, fields);
    QVERIFY(!pdf.isEmpty());
    QList<Word> line;
    for (const Word& word : words(pdf)) {
        if (std::abs(word.top - 9.1) < 0.3)
            line.append(word);
    }
    std::sort(line.begin(), line.end(), [](const Word& a, const Word& b) { return a.left < b.left; });
    QStringList read;
    for (const Word& word : std::as_const(line))
        read.append(word.text);
    QCOMPARE(read, pieces);
    for (qsizetype i = 1; i < line.size(); ++i)
        QVERIFY2(line[i].left > line[i - 1].right + 0.1,
                 qPrintable(u"%1 ends at %2, %3 begins at %4"_s.arg(line[i - 1].text)
                                .arg(line[i - 1].right)
                                .arg(line[i].text)
                                .arg(line[i].left)));
    QVERIFY2(line.last().right <= slipRight + Tolerance, qPrintable(QString::number(line.last().right)));
}

#include "SlipPdfTest.moc"
