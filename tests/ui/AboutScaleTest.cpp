// SPDX-License-Identifier: GPL-3.0-or-later

// The about window at the desktop's scale factor (QT_SCALE_FACTOR, one run each at 1, 1.5 and 2; see
// CMakeLists.txt): every text is drawn whole, inside its label, and every label inside the window's
// border. The width and height a text needs are measured on its ink: the label's text drawn without
// any clip, in the label's font, at the window's device pixel ratio, as the window itself draws it.
#include "AppHarness.h"
#include "ui/apertura.h"

#include <QLabel>
#include <QPainter>

#include <cmath>

namespace {

// The box, in device pixels, that holds every pixel of picture that is not white.
QRect inkBox(const QImage& picture)
{
    QRect box;
    for (int y = 0; y < picture.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(picture.constScanLine(y));
        for (int x = 0; x < picture.width(); ++x) {
            if ((line[x] & 0xffffff) != 0xffffff)
                box |= QRect(x, y, 1, 1);
        }
    }
    return box;
}

// The size, in the window's pixels, of the ink of label's text laid out as the label lays it out
// (wrapped at its width when it wraps), drawn from the label's top-left corner with nothing clipped.
QSizeF inkNeeded(const QLabel& label, qreal ratio)
{
    const QRect contents = label.contentsRect();
    const QSize room(label.wordWrap() ? contents.width() : 4000, 1000);
    QImage canvas((QSizeF(room) * ratio).toSize(), QImage::Format_RGB32);
    canvas.setDevicePixelRatio(ratio);
    canvas.fill(Qt::white);
    {
        QPainter painter(&canvas);
        painter.setFont(label.font());
        painter.setPen(Qt::black);
        const int flags = int(Qt::AlignLeft | Qt::AlignTop) | (label.wordWrap() ? int(Qt::TextWordWrap) : 0);
        painter.drawText(QRect(contents.topLeft(), room), flags, label.text());
    }
    const QRect ink = inkBox(canvas);
    return QSizeF((ink.right() + 1) / ratio, (ink.bottom() + 1) / ratio);
}

} // namespace

class AboutScaleTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void everyTextShowsWhole_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("title") << QStringLiteral("title");
        QTest::newRow("credit, two lines") << QStringLiteral("credit");
        QTest::newRow("contact") << QStringLiteral("contact");
        QTest::newRow("version") << QStringLiteral("Label2");
        QTest::newRow("rights, wrapped on the bar") << QStringLiteral("rights");
        QTest::newRow("keys, twelve lines") << QStringLiteral("shortcuts");
    }
    void everyTextShowsWhole()
    {
        QFETCH(QString, name);
        AppHarness app;
        app.start();
        app.session->showAbout();
        apertura* about = app.session->aboutWindow();
        QVERIFY(about);
        QVERIFY(QTest::qWaitForWindowExposed(about));

        // The run really is at the scale it was started for.
        const qreal scale = qEnvironmentVariableIsSet("QT_SCALE_FACTOR")
                                ? qEnvironmentVariable("QT_SCALE_FACTOR").toDouble()
                                : 1.0;
        const qreal ratio = about->devicePixelRatioF();
        QVERIFY2(std::abs(ratio - scale) < 0.01,
                 qPrintable(QStringLiteral("device pixel ratio %1").arg(ratio)));

        const auto* label = about->findChild<QLabel*>(name);
        QVERIFY(label);
        QVERIFY(label->isVisible());
        const QSizeF needed = inkNeeded(*label, ratio);
        QVERIFY2(needed.width() > 0, "the text leaves no ink");
        const QString measures =
            QStringLiteral("scale %1: the text needs %2 x %3 pixels, the label is %4 x %5")
                .arg(scale)
                .arg(needed.width())
                .arg(needed.height())
                .arg(label->width())
                .arg(label->height());
        QVERIFY2(needed.width() <= label->width(), qPrintable(measures));
        QVERIFY2(needed.height() <= label->height(), qPrintable(measures));
        // Inside the window's one-pixel border.
        QVERIFY2(about->rect().adjusted(1, 1, -1, -1).contains(label->geometry()),
                 qPrintable(QStringLiteral("label at %1,%2 %3 x %4 in a window of %5 x %6")
                                .arg(label->x())
                                .arg(label->y())
                                .arg(label->width())
                                .arg(label->height())
                                .arg(about->width())
                                .arg(about->height())));
    }

    // The rights line stands on the bar, white on its blue, whatever its length.
    void rightsLineOnTheBar()
    {
        AppHarness app;
        app.start();
        app.session->showAbout();
        apertura* about = app.session->aboutWindow();
        QVERIFY(about);
        QVERIFY(QTest::qWaitForWindowExposed(about));
        const auto* rights = about->findChild<QLabel*>(QStringLiteral("rights"));
        QVERIFY(rights);
        const QImage shown = about->grab().toImage();
        const qreal ratio = shown.devicePixelRatio();
        const auto pixelAt = [&](QPoint at) { return QColor(shown.pixel((QPointF(at) * ratio).toPoint())); };
        // Just beyond the label's corners, the bar's own colour; under it, the same.
        const QColor bar = pixelAt(rights->geometry().topLeft() + QPoint(-2, 0));
        QVERIFY2(bar.value() < 160 && bar.blue() > bar.red(), qPrintable(bar.name()));
        QCOMPARE(pixelAt(rights->geometry().bottomLeft() + QPoint(-2, 1)), bar);
        QCOMPARE(pixelAt(rights->geometry().bottomRight() + QPoint(2, 1)), bar);
    }
};

QTEST_MAIN(AboutScaleTest)
#include "AboutScaleTest.moc"
