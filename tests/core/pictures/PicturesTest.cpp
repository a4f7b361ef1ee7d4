// SPDX-License-Identifier: GPL-3.0-or-later

// The pictures compiled in as pixels are the resources' PNGs, pixel for pixel, and a picture not
// compiled in still comes from the resources.
#include "core/pictures/Pictures.h"

#include <QTemporaryFile>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// Pixel for pixel, whatever colour space the decoder gave the file.
bool samePixels(const QImage& a, const QImage& b)
{
    if (a.size() != b.size())
        return false;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            if (a.pixel(x, y) != b.pixel(x, y))
                return false;
        }
    }
    return true;
}

} // namespace

class PicturesTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void compiledInAsTheResourcesHaveThem();
    void otherPicturesComeFromTheResources();
};

void PicturesTest::compiledInAsTheResourcesHaveThem()
{
    QVERIFY(EmbeddedPictureCount >= 11);
    for (int i = 0; i < EmbeddedPictureCount; ++i) {
        const QString path = QString::fromLatin1(EmbeddedPictures[i].resourcePath);
        const QImage decoded = QImage(path).convertToFormat(QImage::Format_ARGB32_Premultiplied);
        QVERIFY2(!decoded.isNull(), qPrintable(path));
        const QImage compiled = Picture(path);
        QCOMPARE(compiled.size(), decoded.size());
        QVERIFY2(samePixels(compiled, decoded), qPrintable(path));
        // Painting on a copy leaves the compiled-in pixels alone.
        QImage copy = compiled;
        copy.fill(Qt::red);
        QVERIFY2(samePixels(Picture(path), decoded), qPrintable(path));
    }
}

void PicturesTest::otherPicturesComeFromTheResources()
{
    QVERIFY(Picture(u":/nessuna.png"_s).isNull());
    QTemporaryFile file;
    QVERIFY(file.open());
    QImage red(3, 2, QImage::Format_RGB32);
    red.fill(Qt::red);
    QVERIFY(red.save(&file, "PNG"));
    file.close();
    QCOMPARE(Picture(file.fileName()).pixelColor(2, 1), QColor(Qt::red));
}

QTEST_GUILESS_MAIN(PicturesTest)
#include "PicturesTest.moc"
