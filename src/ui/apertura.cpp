// SPDX-License-Identifier: GPL-3.0-or-later

#include "ui/apertura.h"

#include "core/Version.h"
#include "core/geometry/Twips.h"
#include "core/pictures/Pictures.h"
#include "ui/ScreenFonts.h"

#include <QCloseEvent>
#include <QGuiApplication>
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

// The window's own client area, inside the border; the shortcut lines stand below it.
QRect seedClientArea()
{
    return QRect(1, 1, twipsToPixels(ClientWidthTwips), twipsToPixels(ClientHeightTwips));
}

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
    QLabel* contact =
        text("contact", QStringLiteral("Aiuto: cedolario --help"), twipsRect(120, 1080, 1215, 195),
             FontOf(QStringLiteral("Times New Roman"), 8.25, true));
    contact->resize(std::max(contact->width(), contact->sizeHint().width()), contact->height());
    Label2 = text("Label2", QString(), twipsRect(2160, 1080, 0, 0), ArialFont(8.25, true));
    QLabel* rights = text("rights", QStringLiteral("© 2026 team Cedolario - tutti i diritti riservati"),
                          twipsRect(135, 1365, 3075, 165), ArialFont(6.75, true));
    QPalette onBar = rights->palette();
    onBar.setColor(QPalette::WindowText, Qt::white);
    rights->setPalette(onBar);

    QStringList lines;
    for (const char16_t* line : ShortcutLines)
        lines.append(QString::fromUtf16(line));
    QLabel* shortcuts = text("shortcuts", lines.join(QLatin1Char('\n')), QRect(), ArialFont(6.75));
    shortcuts->adjustSize();
    const int shortcutsTop = seedClientArea().bottom() + 5;
    shortcuts->move(1 + twipsToPixels(120), shortcutsTop);
    setFixedSize(twipsToPixels(ClientWidthTwips) + 2, shortcutsTop + shortcuts->height() + 5);

    const QRect screenArea = QGuiApplication::primaryScreen()->geometry();
    move(screenArea.center() - rect().center());
}

bool apertura::event(QEvent* event)
{
    if (event->type() == QEvent::WindowActivate || event->type() == QEvent::Show) {
        Label2->setText(aboutVersionText());
        Label2->adjustSize();
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
    painter.fillRect(
        QRect(QPoint(1, 1) + twipsRect(0, 1320, 3375, 375).topLeft(), twipsRect(0, 1320, 3375, 375).size())
            .intersected(seedClientArea()),
        Bar);
    painter.setPen(QPen(Qt::black, 1));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}
