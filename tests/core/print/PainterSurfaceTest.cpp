// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/print/PainterSurface.h"
#include "SampleSlip.h"
#include "core/print/PrintPage.h"
#include "core/print/SlipLayout.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QPdfWriter>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

QColor pixelAtCm(const QImage& image, double x, double y)
{
    const double dotsPerCm = image.dotsPerMeterX() / 100.0;
    return image.pixelColor(int(x * dotsPerCm), int(y * dotsPerCm));
}

} // namespace

// The QPainter surface: widths on the device, failures, the page on an image and in a PDF.
class PainterSurfaceTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void textWidth_data();
    void textWidth();
    void widthsIgnoreKerningPairs_data();
    void widthsIgnoreKerningPairs();
    void nothingDrawnOpensNoJob();
    void deviceThatDoesNotBegin();
    void missingPictureAbandonsTheJob();
    void pageLeftUnfinishedIsAbandoned();
    void premarcatiOnAnImage();
    void dashesKeepTheirScreenLength();
    void euroMarkStaysLossless();
    void savedPdfFailures();
    void cancelledDocumentKeepsNothing();
};

void PainterSurfaceTest::textWidth_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<float>("size");
    QTest::addColumn<bool>("bold");
    QTest::addColumn<double>("expected");

    // Liberation Sans has Arial's widths (em fractions), one point is 2.54 / 72 cm.
    // Ten digits, 0.556 em each, at 8 points: 10 * 0.556 * 8 * 2.54 / 72 = 1.5691 cm.
    QTest::newRow("ten digits, 8 point bold") << u"0123456789"_s << 8.0f << true << 1.5691;
    // "W" is 0.944 em in regular: 10 * 0.944 * 9 * 2.54 / 72 = 2.9972 cm.
    QTest::newRow("ten W, 9 point regular") << u"WWWWWWWWWW"_s << 9.0f << false << 2.9972;
    // "i" is 0.222 em in regular and 0.278 em in bold, at 11 points.
    QTest::newRow("twenty i, 11 point regular") << QString(20, u'i') << 11.0f << false << 1.7228;
    QTest::newRow("twenty i, 11 point bold") << QString(20, u'i') << 11.0f << true << 2.1574;
    QTest::newRow("empty text") << QString() << 9.0f << true << 0.0;
}

void PainterSurfaceTest::textWidth()
{
    QFETCH(QString, text);
    QFETCH(float, size);
    QFETCH(bool, bold);
    QFETCH(double, expected);

    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter writer(&buffer);
    writer.setResolution(PdfResolution);
    PainterSurface surface(writer);
    surface.setFontSize(size);
    surface.setBold(bold);
    // Within 0.3 %: a screen's whole-pixel font sizes are about 3 % off.
    QVERIFY2(qAbs(surface.TextWidth(text) - expected) <= expected * 0.003,
             qPrintable(QString::number(surface.TextWidth(text), 'f', 4)));
}

void PainterSurfaceTest::widthsIgnoreKerningPairs_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("expected");

    // Arial's advance widths in 2048ths of an em: A 1366, V 1366, W 1933, T 1251, Y 1366,
    // o 1139, digits 1139. At 10 points an em is 10 * 2.54 / 72 = 0.35278 cm. A kerning font
    // pulls the pairs AV, VA, AW, WA, AT, Ya and To together by up to 0.05 cm each.
    // A V A W A T: 8648 / 2048 em = 1.48966 cm.
    QTest::newRow("AVAWAT, all kerning pairs") << u"AVAWAT"_s << 1.48966;
    // T o Y o V A: 1251 + 1139 + 1366 + 1139 + 1366 + 1366 = 7627 / 2048 em = 1.31378 cm.
    QTest::newRow("ToYoVA, kerning pairs with lower case") << u"ToYoVA"_s << 1.31378;
    // Six digits, no pairs: 6834 / 2048 em = 1.17719 cm.
    QTest::newRow("digits, no pairs at all") << u"012345"_s << 1.17719;
}

void PainterSurfaceTest::widthsIgnoreKerningPairs()
{
    QFETCH(QString, text);
    QFETCH(double, expected);

    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter writer(&buffer);
    writer.setResolution(PdfResolution);
    PainterSurface surface(writer);
    surface.PageSetUp();
    surface.setFontSize(10);
    surface.setBold(false);
    // Within 0.3 % (0.004 cm here), well inside the 0.05 cm a single kerned pair takes away.
    QVERIFY2(qAbs(surface.TextWidth(text) - expected) <= expected * 0.003,
             qPrintable(QString::number(surface.TextWidth(text), 'f', 5)));
}

void PainterSurfaceTest::nothingDrawnOpensNoJob()
{
    QTemporaryDir directory;
    const QString path = directory.filePath(u"page.pdf"_s);
    {
        QPdfWriter writer(path);
        PainterSurface surface(writer);
        surface.PageSetUp();
        surface.setFontSize(9);
        QVERIFY(surface.TextWidth(u"12345"_s) > 0);
        QVERIFY(surface.EndDocument());
    }
    QVERIFY(!QFile::exists(path));
}

void PainterSurfaceTest::deviceThatDoesNotBegin()
{
    QTemporaryDir directory;
    QPdfWriter writer(directory.filePath(u"missing/page.pdf"_s));
    QTest::ignoreMessage(QtWarningMsg, "QPainter::begin(): Returned false");
    int abandoned = 0;
    PainterSurface surface(writer, [&abandoned] { ++abandoned; });
    surface.PageSetUp();
    surface.DrawLine(0, 0, 1, 1);
    surface.PrintAt(1, 1, u"testo"_s);
    QVERIFY(surface.failed());
    QVERIFY(!surface.EndDocument());
    QVERIFY(!surface.errorText().isEmpty());
    // Nothing was begun, so there is nothing to give up.
    QCOMPARE(abandoned, 0);
}

void PainterSurfaceTest::missingPictureAbandonsTheJob()
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter writer(&buffer);
    int abandoned = 0;
    PainterSurface surface(writer, [&abandoned] { ++abandoned; });
    surface.PageSetUp();
    surface.DrawLine(0, 0, 1, 1);
    surface.DrawPicture(QImage(), 0.2f, 0.7f, 0.7f, 0.7f);
    surface.PrintAt(1, 1, u"dopo"_s);
    QVERIFY(!surface.EndDocument());
    QCOMPARE(abandoned, 1);
    QVERIFY(surface.errorText().contains(u"euro"_s));
}

void PainterSurfaceTest::pageLeftUnfinishedIsAbandoned()
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter writer(&buffer);
    int abandoned = 0;
    {
        PainterSurface surface(writer, [&abandoned] { ++abandoned; });
        surface.DrawLine(0, 0, 1, 1);
        QCOMPARE(abandoned, 0);
    }
    QCOMPARE(abandoned, 1);
}

void PainterSurfaceTest::premarcatiOnAnImage()
{
    // A4 landscape at 100 dots per inch.
    QImage image(1169, 827, QImage::Format_RGB32);
    image.setDotsPerMeterX(3937);
    image.setDotsPerMeterY(3937);
    image.fill(Qt::white);
    PainterSurface surface(image);
    QVERIFY(ComposePage(surface, [](PrintSurface& page) {
        DrawSlipModel(page, SlipModel::Premarcati, SampleSlip(), true, QImage(u":/euro.png"_s));
    }));

    QCOMPARE(pixelAtCm(image, 19.0, 0.3), QColor(Qt::black));  // header band, between the titles
    QCOMPARE(pixelAtCm(image, 27.0, 5.0), QColor(Qt::white));  // nothing beyond x 24.7
    QCOMPARE(pixelAtCm(image, 4.0, 5.0), QColor(Qt::white));   // empty receipt part
    QCOMPARE(pixelAtCm(image, 0.22, 0.77), QColor(Qt::black)); // corner of the euro mark's black square
    QVERIFY(pixelAtCm(image, 15.0, 8.35).lightness() < 128);   // line over the code-line zone
}

void PainterSurfaceTest::dashesKeepTheirScreenLength()
{
    // 300 dots per inch; a dashed line 10 cm long on row 1 cm.
    QImage image(1300, 400, QImage::Format_RGB32);
    image.setDotsPerMeterX(11811);
    image.setDotsPerMeterY(11811);
    image.fill(Qt::white);
    PainterSurface surface(image);
    surface.setLineStyle(LineStyle::Dashed);
    surface.DrawLine(0.5f, 1.0f, 10.5f, 1.0f);
    QVERIFY(surface.EndDocument());

    // 4 on and 2 off in 96 dpi pixels: a period of 6 / 96 inch, 1.5875 mm, so 63 dashes in
    // 10 cm. Qt's plain dash on the thinnest pen would make 6 dots a period here: 196 dashes.
    const int row = 118; // 1 cm at 300 dpi
    int dashes = 0;
    bool inDash = false;
    for (int x = 0; x < image.width(); ++x) {
        bool dark = false;
        for (int y = row - 1; y <= row + 1; ++y)
            dark = dark || image.pixelColor(x, y).lightness() < 160;
        if (dark && !inDash)
            ++dashes;
        inDash = dark;
    }
    QVERIFY2(dashes >= 62 && dashes <= 64, qPrintable(QString::number(dashes)));
}

void PainterSurfaceTest::euroMarkStaysLossless()
{
    QByteArray pdf;
    const Failure failure = PagePdf(
        [](PrintSurface& page) {
            DrawSlipModel(page, SlipModel::TwoFrame, SampleSlip(), true, QImage(u":/euro.png"_s));
        },
        TypicalPrinterMargins, pdf);
    QVERIFY2(!failure, qPrintable(failure.text()));
    QVERIFY(pdf.contains("/Subtype /Image"));
    QVERIFY(!pdf.contains("/DCTDecode"));
}

void PainterSurfaceTest::savedPdfFailures()
{
    QTemporaryDir directory;
    const auto draw = [](PrintSurface& page) {
        DrawSlipModel(page, SlipModel::TwoFrame, SampleSlip(), true, QImage(u":/euro.png"_s));
    };
    const Failure missing = SavePagePdf(directory.filePath(u"missing/slip.pdf"_s), draw);
    QCOMPARE(missing.kind(), Failure::Kind::Failed);
    QVERIFY(!missing.text().isEmpty());

    // A page that cannot be completed leaves an existing file as it was.
    const QString path = directory.filePath(u"slip.pdf"_s);
    QFile existing(path);
    QVERIFY(existing.open(QIODevice::WriteOnly));
    existing.write("earlier");
    existing.close();
    const auto withoutEuro = [](PrintSurface& page) {
        DrawSlipModel(page, SlipModel::TwoFrame, SampleSlip(), true, QImage());
    };
    const Failure incomplete = SavePagePdf(path, withoutEuro);
    QCOMPARE(incomplete.kind(), Failure::Kind::Failed);
    QVERIFY(incomplete.text().contains(u"euro"_s));
    QVERIFY(existing.open(QIODevice::ReadOnly));
    QCOMPARE(existing.readAll(), QByteArray("earlier"));
}

// A document stopped between two pages is a cancellation, not an error: nothing of it is kept, in
// memory or on disk, and the caller learns which of the two it was.
void PainterSurfaceTest::cancelledDocumentKeepsNothing()
{
    int drawn = 0;
    DocumentComposer document;
    document.pageCount = 3;
    document.drawPage = [&drawn](PrintSurface& page, int) {
        ++drawn;
        DrawSlipModel(page, SlipModel::TwoFrame, SampleSlip(), true, QImage(u":/euro.png"_s));
    };
    document.cancelled = [&drawn] { return drawn >= 2; };

    QByteArray pdf("earlier");
    const Failure inMemory = DocumentPdf(document, TypicalPrinterMargins, pdf);
    QCOMPARE(inMemory.kind(), Failure::Kind::Cancelled);
    QVERIFY(!inMemory.text().isEmpty());
    QCOMPARE(pdf, QByteArray());
    QCOMPARE(drawn, 2);

    QTemporaryDir directory;
    const QString path = directory.filePath(u"bollettini.pdf"_s);
    QFile existing(path);
    QVERIFY(existing.open(QIODevice::WriteOnly));
    existing.write("earlier");
    existing.close();
    drawn = 0;
    QCOMPARE(SaveDocumentPdf(path, document).kind(), Failure::Kind::Cancelled);
    QVERIFY(existing.open(QIODevice::ReadOnly));
    QCOMPARE(existing.readAll(), QByteArray("earlier"));
}

QTEST_MAIN(PainterSurfaceTest)
#include "PainterSurfaceTest.moc"
