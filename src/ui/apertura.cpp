// SPDX-License-Identifier: GPL-3.0-or-later

#include "ui/apertura.h"

#include "core/Version.h"
#include "core/geometry/Twips.h"
#include "core/pictures/Pictures.h"
#include "ui/ScreenFonts.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>

#include <algorithm>

namespace {

constexpr int ClientWidthTwips = 3300;
constexpr int ClientHeightTwips = 1635;

const QColor Bar(0x1d, 0x3f, 0x8f);

// Below the window's own contents, in small print: what the keyboard and the right-click reach, on
// the slip form and on the palette alike. One line each; further commands add their lines here.
const char16_t* const ShortcutLines[] = {
    u"Tasti, nella scheda e nella tavolozza:",
    u"   Ctrl+Alt+P  stampa        Ctrl+P  Stampa su\u2026",
    u"   Ctrl+Maiusc+P  Anteprima di stampa",
    u"   Ctrl+S  salva    Ctrl+O  apri    F1  info",
    u"   Canc  elimina (nell'elenco)    Ctrl+Q  esci",
    u"   Ctrl+Z  Annulla l'eliminazione",
    u"   Ctrl+F  Cerca; Gi\u00f9 entra nell'elenco, Invio apre",
    u"   Tab passa dalla scheda alla tavolozza e ritorna",
    u"Clic destro sulla tavolozza: Anteprima di stampa,",
    u"   Stampa su\u2026, Salva come PDF\u2026, i comandi dei tasti,",
    u"   Importa da / Esporta in foglio di calcolo\u2026,",
    u"   Importa archivio\u2026, Cerca",
};

// The rights line, on the bar: the program is free software.
const char16_t* const RightsText =
    u"\u00a9 2026 team Cedolario. Software libero: si pu\u00f2 ridistribuire e "
    u"modificare secondo la licenza GNU GPL, versione 3 o successiva.";

// The bar at the foot of the window's own contents, and the room left around a text: the left margin
// of the credit, which the other texts keep on the right too.
constexpr int BarTopTwips = 1320;
constexpr int TextMarginTwips = 120;
constexpr int RightsTopOnBarTwips = 45;

} // namespace

apertura::apertura(std::function<void()> onClosed)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint), m_onClosed(std::move(onClosed))
{
    setObjectName(QStringLiteral("apertura"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Cedolario"));
    // White with black text whatever the desktop's colour scheme; the notice on the bar is white.
    QPalette colours = palette();
    colours.setColor(QPalette::Window, Qt::white);
    colours.setColor(QPalette::WindowText, Qt::black);
    setPalette(colours);
    setAutoFillBackground(true);
    // It takes the keyboard when shown, so that the keys that close it reach it.
    setFocusPolicy(Qt::StrongFocus);

    // Contents are placed in client coordinates, inside the one-pixel border. The picture overlaps the
    // version line, which stays on top of it.
    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setPixmap(QPixmap::fromImage(Picture(QStringLiteral(":/about-icon.png"))));
    Image1->setScaledContents(true);
    Image1->setGeometry(twipsRect(1800, 255, 1335, 975).translated(1, 1));

    const auto text = [this](const char* name, const QString& content, QRect place, const QFont& textFont) {
        auto* label = new QLabel(content, this);
        label->setObjectName(QString::fromLatin1(name));
        label->setTextFormat(Qt::PlainText);
        label->setFont(textFont);
        label->setGeometry(place.translated(1, 1));
        return label;
    };
    text("title", QStringLiteral("Cedolario"), twipsRect(45, 45, 3210, 360), ArialFont(15.75, true));
    QLabel* credit = text("credit", QStringLiteral("Realizzato dal\nteam Cedolario"),
                          twipsRect(120, 480, 1440, 600), ArialFont(9.75, true));
    credit->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // Where help is: the program's own help, which names the options and the files it reads.
    text("contact", QStringLiteral("Aiuto: cedolario --help"), twipsRect(120, 1080, 1215, 195),
         ArialFont(8.25, true));
    Label2 = text("Label2", aboutVersionText(), twipsRect(2160, 1080, 0, 0), ArialFont(8.25, true));
    QStringList lines;
    for (const char16_t* line : ShortcutLines)
        lines.append(QString::fromUtf16(line));
    const int margin = twipsToPixels(TextMarginTwips);
    QLabel* shortcuts =
        text("shortcuts", lines.join(QLatin1Char('\n')), QRect(margin, 0, 0, 0), ArialFont(6.75));

    // Every text is shown whole, however wide the desktop's fonts draw it: a label is never narrower
    // or lower than its text, and the window widens to its widest line (the design's size is the
    // least).
    int clientWidth = twipsToPixels(ClientWidthTwips);
    for (QLabel* label : findChildren<QLabel*>(Qt::FindDirectChildrenOnly)) {
        if (label == Image1)
            continue;
        const QSize needed = label->sizeHint();
        label->resize(std::max(label->width(), needed.width()), std::max(label->height(), needed.height()));
        clientWidth = std::max(clientWidth, label->x() - 1 + label->width() + margin);
    }

    // The rights line, in as many lines as the bar's width needs; the bar grows to hold them.
    QLabel* rights = text("rights", QString::fromUtf16(RightsText), QRect(), ArialFont(6.75, true));
    rights->setWordWrap(true);
    QPalette onBar = rights->palette();
    onBar.setColor(QPalette::WindowText, Qt::white);
    rights->setPalette(onBar);
    const int rightsTop = twipsToPixels(BarTopTwips + RightsTopOnBarTwips);
    const int rightsWidth = clientWidth - 2 * margin;
    rights->setGeometry(1 + margin, 1 + rightsTop, rightsWidth, rights->heightForWidth(rightsWidth));
    const int barTop = twipsToPixels(BarTopTwips);
    const int clientHeight =
        std::max(twipsToPixels(ClientHeightTwips), rightsTop + rights->height() + (rightsTop - barTop));
    m_bar = QRect(1, 1 + barTop, clientWidth, clientHeight - barTop);

    const int shortcutsTop = 1 + clientHeight + 5;
    shortcuts->move(1 + margin, shortcutsTop);
    setFixedSize(clientWidth + 2, shortcutsTop + shortcuts->height() + 5);

    const QRect screenArea = QGuiApplication::primaryScreen()->geometry();
    move(screenArea.center() - rect().center());
}

bool apertura::event(QEvent* event)
{
    if (event->type() == QEvent::WindowActivate || event->type() == QEvent::Show) {
        Label2->setText(aboutVersionText());
        Label2->resize(std::max(Label2->width(), Label2->sizeHint().width()), Label2->height());
    }
    return QWidget::event(event);
}

bool apertura::closesOnClick(const QPoint& position) const
{
    // The background (bar included) and the picture close the window; the text lines do not.
    const QWidget* hit = childAt(position);
    return rect().contains(position) && (hit == nullptr || hit == Image1);
}

void apertura::mousePressEvent(QMouseEvent* event)
{
    event->setAccepted(event->button() == Qt::LeftButton);
}

void apertura::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && closesOnClick(event->position().toPoint()))
        close();
}

void apertura::keyPressEvent(QKeyEvent* event)
{
    // From the keyboard as with a click: Escape, Return, Enter or Space close it.
    switch (event->key()) {
    case Qt::Key_Escape:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        if (!event->isAutoRepeat())
            close();
        event->accept();
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}

void apertura::closeEvent(QCloseEvent* event)
{
    // However it is closed, the slip form and the palette come back.
    event->accept();
    if (m_onClosed) {
        auto onClosed = std::move(m_onClosed);
        m_onClosed = nullptr;
        onClosed();
    }
}

void apertura::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(m_bar, Bar);
    painter.setPen(QPen(Qt::black, 1));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}
