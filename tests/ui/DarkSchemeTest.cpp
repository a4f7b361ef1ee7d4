// SPDX-License-Identifier: GPL-3.0-or-later

// Under a dark desktop colour scheme every text the windows show stays readable: the slip, the palette
// and the about window paint their own light grounds, so the texts on them must be dark. Measured on
// the pixels the windows really draw: in each control's place, the most frequent colour is its ground
// and the pixel farthest from it its text, and their contrast ratio (as WCAG computes it) is compared
// with the least one allowed.
#include "AppHarness.h"
#include "ArchiveRecords.h"
#include "ui/ArchiveList.h"
#include "ui/apertura.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QStyle>

#include <cmath>

using namespace Qt::StringLiterals;

namespace {

// A dark scheme as desktops ship them: light text on dark grounds.
QPalette darkScheme()
{
    QPalette dark;
    const QColor ground(0x2d, 0x2d, 0x2d);
    const QColor text(0xee, 0xee, 0xee);
    for (QPalette::ColorRole role : {QPalette::Window, QPalette::Button, QPalette::AlternateBase})
        dark.setColor(role, ground);
    dark.setColor(QPalette::Base, QColor(0x1e, 0x1e, 0x1e));
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText,
                                     QPalette::BrightText, QPalette::ToolTipText})
        dark.setColor(role, text);
    dark.setColor(QPalette::ToolTipBase, QColor(0x40, 0x40, 0x40));
    dark.setColor(QPalette::Highlight, QColor(0x3d, 0xae, 0xe9));
    dark.setColor(QPalette::HighlightedText, QColor(0x12, 0x12, 0x12));
    dark.setColor(QPalette::PlaceholderText, QColor(0xa0, 0xa0, 0xa0));
    return dark;
}

double luminance(QRgb colour)
{
    const auto channel = [](int value) {
        const double c = value / 255.0;
        return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(qRed(colour)) + 0.7152 * channel(qGreen(colour)) +
           0.0722 * channel(qBlue(colour));
}

double contrast(QRgb a, QRgb b)
{
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// The contrast of the text drawn in area of the picture with its ground.
double textContrast(const QImage& picture, const QRect& area)
{
    QHash<QRgb, int> counts;
    const QRect inside = area.intersected(picture.rect());
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        for (int x = inside.left(); x <= inside.right(); ++x)
            ++counts[picture.pixel(x, y) | 0xff000000];
    }
    QRgb ground = 0;
    int most = -1;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
        if (it.value() > most) {
            most = it.value();
            ground = it.key();
        }
    }
    double best = 1;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        best = std::max(best, contrast(it.key(), ground));
    return best;
}

// What the window shows, at one device pixel a pixel.
QImage shown(QWidget& window)
{
    QImage picture = window.grab().toImage().convertToFormat(QImage::Format_RGB32);
    if (const QString dir = qEnvironmentVariable("CEDOLARIO_DARK_SCHEME_PICTURES"); !dir.isEmpty())
        picture.save(QDir(dir).filePath(window.objectName() + u".png"_s));
    return picture;
}

QRect inWindow(const QWidget& control)
{
    return QRect(control.mapTo(control.window(), QPoint(0, 0)), control.size());
}

// The part of an option or check box beside its indicator: its caption.
QRect captionOf(const QWidget& control, QStyle::PixelMetric indicator)
{
    const int skip = control.style()->pixelMetric(indicator, nullptr, &control) + 2;
    return inWindow(control).adjusted(skip, 0, 0, 0);
}

// Ordinary text, and the slip's own red inks (pure red on white, 4:1), which are the printed slip's
// look and read as large text does.
constexpr double ReadableText = 4.5;
constexpr double SlipInk = 3.0;

} // namespace

class DarkSchemeTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QApplication::setPalette(darkScheme()); }
    void slipForm_data();
    void slipForm();
    void palette_data();
    void palette();
    void aboutWindow_data();
    void aboutWindow();
};

void DarkSchemeTest::slipForm_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<double>("least");
    QTest::newRow("heading band, white on red") << u"Label1"_s << SlipInk;
    QTest::newRow("red caption") << u"Label17"_s << SlipInk;
    QTest::newRow("black caption TD") << u"Label11"_s << ReadableText;
    QTest::newRow("amount preview") << u"Label15"_s << ReadableText;
    QTest::newRow("account preview") << u"Label14"_s << ReadableText;
    QTest::newRow("imprint") << u"Label23"_s << ReadableText;
    QTest::newRow("field, blue on white") << u"Text1_0"_s << ReadableText;
    QTest::newRow("field with the focus, blue on yellow") << u"Text1_4"_s << ReadableText;
}

void DarkSchemeTest::slipForm()
{
    QFETCH(QString, control);
    QFETCH(double, least);
    AppHarness app;
    Form1& form = app.start();
    form.setFieldText(PayerName, u"Mario Rossi"_s);
    form.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    form.Text1[AccountNumber]->setFocus();
    QTest::keyClicks(form.Text1[AccountNumber], u"123"_s);
    form.Text1[Amount]->setFocus();
    QTest::keyClicks(form.Text1[Amount], u"12,5"_s);
    QTest::keyClick(form.Text1[Amount], Qt::Key_Tab);
    form.Text1[Amount]->setFocus();
    QTRY_COMPARE(form.Text1[Amount]->palette().color(QPalette::Base), QColor(255, 255, 0));

    auto* widget = form.findChild<QWidget*>(control);
    QVERIFY(widget);
    const double ratio = textContrast(shown(form), inWindow(*widget).adjusted(2, 2, -2, -2));
    QVERIFY2(ratio >= least, qPrintable(u"contrast %1:1"_s.arg(ratio, 0, 'f', 2)));
}

void DarkSchemeTest::palette_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<double>("least");
    QTest::newRow("option premarcati") << u"Option1_0"_s << ReadableText;
    QTest::newRow("option 2 frame") << u"Option1_1"_s << ReadableText;
    QTest::newRow("Stampa indic.") << u"Check1"_s << ReadableText;
    QTest::newRow("list title") << u"Label2_0"_s << ReadableText;
    QTest::newRow("list header") << u"Label3_0"_s << ReadableText;
    QTest::newRow("list entries") << u"List1"_s << ReadableText;
    QTest::newRow("record count") << u"Label4"_s << ReadableText;
    QTest::newRow("version") << u"Label1"_s << ReadableText;
    QTest::newRow("caption salva") << u"Label3_6"_s << ReadableText;
}

void DarkSchemeTest::palette()
{
    QFETCH(QString, control);
    QFETCH(double, least);
    AppHarness app;
    {
        QFile file(app.services.archivePath());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(savedRecord("Rossi") + savedRecord("Ferre"));
    }
    app.start();
    Form2& palette = app.palette();
    auto* widget = palette.findChild<QWidget*>(control);
    QVERIFY(widget);
    QRect area = inWindow(*widget);
    if (qobject_cast<QRadioButton*>(widget))
        area = captionOf(*widget, QStyle::PM_ExclusiveIndicatorWidth);
    else if (qobject_cast<QCheckBox*>(widget))
        area = captionOf(*widget, QStyle::PM_IndicatorWidth);
    else if (widget == palette.List1)
        area = QRect(inWindow(*palette.List1->viewport()).topLeft(),
                     QSize(palette.List1->viewport()->width(), 30));
    const double ratio = textContrast(shown(palette), area);
    QVERIFY2(ratio >= least, qPrintable(u"contrast %1:1"_s.arg(ratio, 0, 'f', 2)));
}

void DarkSchemeTest::aboutWindow_data()
{
    QTest::addColumn<QString>("control");
    QTest::newRow("title") << u"title"_s;
    QTest::newRow("credit") << u"credit"_s;
    QTest::newRow("contact") << u"contact"_s;
    QTest::newRow("version") << u"Label2"_s;
    QTest::newRow("rights, on the bar") << u"rights"_s;
    QTest::newRow("keys") << u"shortcuts"_s;
}

void DarkSchemeTest::aboutWindow()
{
    QFETCH(QString, control);
    AppHarness app;
    app.start();
    app.session->showAbout();
    apertura* about = app.session->aboutWindow();
    QVERIFY(about);
    QVERIFY(QTest::qWaitForWindowExposed(about));
    auto* label = about->findChild<QLabel*>(control);
    QVERIFY(label);
    const double ratio = textContrast(shown(*about), inWindow(*label));
    QVERIFY2(ratio >= ReadableText, qPrintable(u"contrast %1:1"_s.arg(ratio, 0, 'f', 2)));
}

QTEST_MAIN(DarkSchemeTest)
#include "DarkSchemeTest.moc"
