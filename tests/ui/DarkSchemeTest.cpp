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
#include <QStyleOptionButton>

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

// A palette window with two archive entries, the second selected, the model and the check box as
// given.
void startPalette(AppHarness& app, bool premarcati, Qt::CheckState tick)
{
    {
        QFile file(app.services.archivePath());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(savedRecord("Rossi") + savedRecord("Ferre"));
    }
    app.start();
    Form2& palette = app.palette();
    palette.Option1[premarcati ? 0 : 1]->setChecked(true);
    palette.Check1->setCheckState(tick);
    palette.List1->setCurrentRow(1);
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

// The most frequent colour of an area of the picture: its ground.
QRgb groundOf(const QImage& picture, const QRect& area)
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
    return ground;
}

// The contrast of the text drawn in area of the picture with its ground.
double textContrast(const QImage& picture, const QRect& area)
{
    const QRgb ground = groundOf(picture, area);
    double best = 1;
    const QRect inside = area.intersected(picture.rect());
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        for (int x = inside.left(); x <= inside.right(); ++x)
            best = std::max(best, contrast(picture.pixel(x, y) | 0xff000000, ground));
    }
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

// Where an option or a check box shows its state: its indicator, in the window's coordinates.
QRect indicatorOf(const QWidget& control)
{
    QStyleOptionButton option;
    option.initFrom(&control);
    const bool radio = qobject_cast<const QRadioButton*>(&control) != nullptr;
    const QRect inControl = control.style()->subElementRect(
        radio ? QStyle::SE_RadioButtonIndicator : QStyle::SE_CheckBoxIndicator, &option, &control);
    return inControl.translated(control.mapTo(control.window(), QPoint(0, 0)));
}

// Part of a picture, in window coordinates, at its device pixels.
QImage part(const QImage& picture, const QRect& area)
{
    const qreal ratio = picture.devicePixelRatio();
    return picture.copy(
        QRect((QPointF(area.topLeft()) * ratio).toPoint(), (QSizeF(area.size()) * ratio).toSize()));
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
    void paletteControlsAsUnderALightScheme_data();
    void paletteControlsAsUnderALightScheme();
    void optionStatesTellApart_data();
    void optionStatesTellApart();
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

// The palette keeps its own colours: its options, check box and list look the same under a dark
// desktop scheme as under the style's own light one, in either state.
void DarkSchemeTest::paletteControlsAsUnderALightScheme_data()
{
    QTest::addColumn<bool>("premarcati");
    QTest::addColumn<int>("tick");
    QTest::newRow("premarcati chosen, unticked") << true << int(Qt::Unchecked);
    QTest::newRow("2 frame chosen, ticked") << false << int(Qt::Checked);
    QTest::newRow("greyed, as a recalled slip leaves it") << false << int(Qt::PartiallyChecked);
}

void DarkSchemeTest::paletteControlsAsUnderALightScheme()
{
    QFETCH(bool, premarcati);
    QFETCH(int, tick);
    AppHarness app;
    startPalette(app, premarcati, Qt::CheckState(tick));
    Form2& palette = app.palette();
    palette.Check1->setTristate(tick == Qt::PartiallyChecked);
    palette.Check1->setCheckState(Qt::CheckState(tick));
    const QImage underDark = shown(palette);

    QApplication::setPalette(QApplication::style()->standardPalette());
    QCoreApplication::processEvents();
    const QImage underLight = palette.grab().toImage().convertToFormat(QImage::Format_RGB32);
    QApplication::setPalette(darkScheme());
    QCOMPARE(luminance(groundOf(underLight, inWindow(*palette.List1->viewport()))) > 0.8, true);

    const QList<std::pair<const char*, QRect>> places = {
        {"premarcati", indicatorOf(*palette.Option1[0])},
        {"2 frame", indicatorOf(*palette.Option1[1])},
        {"Stampa indic.", indicatorOf(*palette.Check1)},
        {"archive list", inWindow(*palette.List1)},
    };
    for (const auto& [name, place] : places)
        QVERIFY2(part(underDark, place) == part(underLight, place), name);
}

// Under the dark scheme an option and the check box tell their state at a glance: the one not chosen
// is an empty light disc or box, the chosen one carries a mark that stands out from that ground as
// text would.
void DarkSchemeTest::optionStatesTellApart_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<bool>("on");
    QTest::newRow("premarcati, chosen") << u"Option1_0"_s << true;
    QTest::newRow("premarcati, not chosen") << u"Option1_0"_s << false;
    QTest::newRow("2 frame, chosen") << u"Option1_1"_s << true;
    QTest::newRow("2 frame, not chosen") << u"Option1_1"_s << false;
    QTest::newRow("Stampa indic., ticked") << u"Check1"_s << true;
    QTest::newRow("Stampa indic., unticked") << u"Check1"_s << false;
}

void DarkSchemeTest::optionStatesTellApart()
{
    QFETCH(QString, control);
    QFETCH(bool, on);
    AppHarness app;
    const bool premarcati = control == u"Option1_0"_s ? on : !on;
    startPalette(app, premarcati, on ? Qt::Checked : Qt::Unchecked);
    Form2& palette = app.palette();
    auto* widget = palette.findChild<QWidget*>(control);
    QVERIFY(widget);
    // Inside the indicator's outline: its ground, and the mark when there is one.
    const QRect indicator = indicatorOf(*widget);
    const QRect inside = indicator.adjusted(3, 3, -3, -3);
    const QImage picture = shown(palette);
    const qreal ratio = picture.devicePixelRatio();
    const QRect atPixels((QPointF(inside.topLeft()) * ratio).toPoint(),
                         (QSizeF(inside.size()) * ratio).toSize());
    const QRect aroundAtPixels((QPointF(indicator.topLeft()) * ratio).toPoint(),
                               (QSizeF(indicator.size()) * ratio).toSize());
    const double ground = luminance(groundOf(picture, aroundAtPixels));
    const double mark = textContrast(picture, atPixels);
    const QString measured =
        u"ground luminance %1, mark contrast %2:1"_s.arg(ground, 0, 'f', 2).arg(mark, 0, 'f', 2);
    if (on) {
        QVERIFY2(mark >= SlipInk, qPrintable(measured));
    } else {
        QVERIFY2(ground > 0.6, qPrintable(measured));
        QVERIFY2(mark < 1.5, qPrintable(measured));
    }
}

QTEST_MAIN(DarkSchemeTest)
#include "DarkSchemeTest.moc"
