// SPDX-License-Identifier: GPL-3.0-or-later

#include "ui/Form2.h"

#include "core/Version.h"
#include "core/geometry/Twips.h"
#include "core/pictures/Pictures.h"
#include "ui/ArchiveList.h"
#include "ui/Form1.h"
#include "ui/PalettePlacement.h"
#include "ui/PictureButton.h"
#include "ui/ScreenFonts.h"

#include <QCheckBox>
#include <QContextMenuEvent>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QRadioButton>

namespace {

constexpr int ClientWidthTwips = 3255;
constexpr int ClientHeightTwips = 6720;

const QColor PanelFill(0xe3, 0xea, 0xf4);
const QColor PanelEdge(0x4a, 0x5d, 0x7e);
const QColor PanelText(0, 0, 0);

const QColor ListGround(0xff, 0xff, 0xff);
const QColor Disabled(0x80, 0x80, 0x80);

// A light scheme's whole set of colours, built on the panels' own. Every role a style draws a control
// with is set, so that a dark desktop scheme reaches none of them: an option's or a check box's
// indicator is a white disc or box with a dark mark, as under a light scheme, and the list is dark
// text on white with the palette's blue for the selection, active window or not.
QPalette panelColours()
{
    QPalette colours(PanelFill, PanelFill);
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        const bool disabled = group == QPalette::Disabled;
        colours.setColor(group, QPalette::WindowText, disabled ? Disabled : PanelText);
        colours.setColor(group, QPalette::Text, disabled ? Disabled : PanelText);
        colours.setColor(group, QPalette::ButtonText, disabled ? Disabled : PanelText);
        colours.setColor(group, QPalette::Base, disabled ? PanelFill : ListGround);
        colours.setColor(group, QPalette::AlternateBase, PanelFill);
        colours.setColor(group, QPalette::Highlight, disabled ? Disabled : PanelEdge);
        colours.setColor(group, QPalette::HighlightedText, ListGround);
        colours.setColor(group, QPalette::PlaceholderText, Disabled);
        colours.setColor(group, QPalette::BrightText, ListGround);
        colours.setColor(group, QPalette::Link, PanelEdge);
    }
    return colours;
}

struct ButtonPlace {
    const char* picture;
    int left;
    int top;
    int size;
    const char* toolTip;
    const char* name; // what a screen reader says: the caption under it, or what it does
};

// Image2(0) … Image2(6).
constexpr ButtonPlace ButtonPlaces[] = {
    {":/button-exit.png", 2520, 6000, 465, nullptr, "esci"},
    {":/button-save.png", 1995, 5040, 375, nullptr, "salva"},
    {":/button-minimise.png", 1920, 6000, 465, nullptr, "riduci a icona"},
    {":/button-info.png", 1440, 5040, 375, nullptr, "info"},
    {":/button-print.png", 2520, 5040, 375, nullptr, "stampa"},
    {":/button-open.png", 360, 5040, 375, "Carica c/c", "apri"},
    {":/button-delete.png", 870, 5040, 375, "Elimina c/c", "elimina"},
};

// The buttons as Tab visits them: the upper row left to right, then the lower row.
constexpr int ButtonTabOrder[] = {Form2::RecallButton, Form2::DeleteButton, Form2::InfoButton,
                                  Form2::SaveButton,   Form2::PrintButton,  Form2::MinimiseButton,
                                  Form2::ExitButton};

struct ButtonCaption {
    int index;
    const char* text;
    int left;
};

// Label3(i) under the buttons.
constexpr ButtonCaption ButtonCaptions[] = {
    {1, "elimina", 810}, {2, "apri", 360}, {5, "info", 1485}, {6, "salva", 2010}, {7, "stampa", 2430},
};
constexpr int ButtonCaptionTop = 5430;

} // namespace

Form2::Form2(Form1& slip) : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint), m_slip(slip)
{
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("Cedolario"));
    setFont(ArialFont(8));
    // Client area plus the one-pixel border on each side.
    setFixedSize(twipsToPixels(ClientWidthTwips) + 2, twipsToPixels(ClientHeightTwips) + 2);
    buildControls();
    PaletteMenu = new QMenu(this);
    PaletteMenu->setObjectName(QStringLiteral("PaletteMenu"));

    Label1->setText(paletteVersionText());
    Label1->adjustSize();
    ShapePaletteWindow();
    m_placement = new PalettePlacement(m_slip, *this);
    connect(&m_slip, &Form1::tabbedOut, this, &Form2::takeFocusByTab);
    // The palette is seldom the active window (a click on it gives the activation back to the slip form),
    // so its controls' tool tips show on hover whichever window of ours is active.
    setAttribute(Qt::WA_AlwaysShowToolTips);
}

Form2::~Form2() = default;

// Long, and meant to be: every control of the palette is made and placed here, in twips and in the
// window's order from top to bottom, so that the layout reads as one list beside the window itself;
// cut into pieces, one window's geometry would be spread over several functions.
void Form2::buildControls()
{
    client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    client->setGeometry(1, 1, twipsToPixels(ClientWidthTwips), twipsToPixels(ClientHeightTwips));
    // The palette keeps its own light colours whatever the desktop's colour scheme, as the slip does:
    // the captions, options, check box, list, search line and scroll bar all take them from here.
    client->setPalette(panelColours());

    const auto place = [](QWidget* widget, const char* name, int left, int top, int width, int height) {
        widget->setObjectName(QString::fromLatin1(name));
        widget->setGeometry(twipsRect(left, top, width, height));
    };
    const auto label = [this, &place](const char* name, const QString& text, int left, int top, int width,
                                      int height) {
        auto* caption = new QLabel(text, client);
        caption->setTextFormat(Qt::PlainText);
        place(caption, name, left, top, width, height);
        return caption;
    };

    Option1[0] = new QRadioButton(QStringLiteral("premarcati"), client);
    place(Option1[0], "Option1_0", 420, 240, 1215, 255);
    Option1[0]->setToolTip(QStringLiteral("Conto Corrente Premarcato"));
    Option1[1] = new QRadioButton(QStringLiteral("2 frame"), client);
    place(Option1[1], "Option1_1", 420, 840, 975, 240);
    Option1[1]->setToolTip(QStringLiteral("Conto Corrente 2frame"));
    Option1[1]->setChecked(true);
    Option1[0]->setAccessibleName(Option1[0]->text());
    Option1[1]->setAccessibleName(Option1[1]->text());
    // A caption wider than its design width is shown whole.
    const auto fitCaption = [](QWidget* widget) {
        widget->resize(std::max(widget->width(), widget->sizeHint().width()), widget->height());
    };
    for (QRadioButton* option : Option1) {
        fitCaption(option);
        // Reached by Tab from the slip form, never by a click, which gives the focus back to the form.
        option->setFocusPolicy(Qt::TabFocus);
        connect(option, &QRadioButton::clicked, this, &Form2::returnFocusToSlip);
    }

    Check1 = new QCheckBox(QStringLiteral("Stampa indic."), client);
    Check1->setAccessibleName(Check1->text());
    place(Check1, "Check1", 450, 1200, 1215, 255);
    Check1->setFocusPolicy(Qt::TabFocus);
    fitCaption(Check1);
    Check1->setCheckState(Qt::Checked);
    // A greyed state comes only from a recalled slip; a click leaves it for good.
    connect(Check1, &QCheckBox::clicked, this, [this] {
        if (Check1->checkState() != Qt::PartiallyChecked)
            Check1->setTristate(false);
    });

    Picture1 = label("Picture1", QString(), 2400, 1680, 255, 255);
    Picture1->setPixmap(QPixmap::fromImage(Picture(QStringLiteral(":/euro.png"))));
    Picture1->setScaledContents(true);

    QLabel* listTitle = label("Label2_0", QStringLiteral("Archivio Conti Correnti"), 375, 2160, 2445, 270);
    listTitle->setFont(ArialFont(9, true));
    listTitle->setAlignment(Qt::AlignCenter);
    label("Label3_0", QStringLiteral("Data             Nome"), 600, 2400, 1815, 255);

    List1 = new ArchiveList(client);
    place(List1, "List1", 285, 2640, 2655, 2010);
    List1->setFocusPolicy(Qt::TabFocus);
    List1->setAccessibleName(QStringLiteral("Archivio Conti Correnti"));
    List1->installEventFilter(this);
    List1->setSelectionMode(QAbstractItemView::SingleSelection);

    m_listGeometry = List1->geometry();
    List1->setContextMenuPolicy(Qt::CustomContextMenu);
    ListMenu = new QMenu(List1);
    ListMenu->setObjectName(QStringLiteral("ListMenu"));
    connect(List1, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        if (!ListMenu->isEmpty())
            ListMenu->popup(List1->viewport()->mapToGlobal(at));
    });
    SearchBox = new QLineEdit(client);
    SearchBox->setObjectName(QStringLiteral("SearchBox"));
    SearchBox->setPlaceholderText(QStringLiteral("Cerca"));
    SearchBox->setAccessibleName(QStringLiteral("Cerca"));
    SearchBox->setToolTip(QStringLiteral("Nome, intestatario, importo o data; Esc chiude la ricerca"));
    // Its clear button is added when the line is first shown: the button's icon is looked up in the
    // desktop's icon theme, which costs about a tenth of the start-up.
    SearchBox->hide();
    SearchBox->installEventFilter(this);
    connect(SearchBox, &QLineEdit::textChanged, this, &Form2::searchChanged);

    Label4 = label("Label4", QStringLiteral("Record: 0"), 360, 4680, 675, 210);
    Label4->adjustSize();
    Label1 = label("Label1", QString(), 2280, 4680, 0, 0);

    for (int index = 0; index < static_cast<int>(Image2.size()); ++index) {
        const ButtonPlace& where = ButtonPlaces[index];
        auto* button = new PictureButton(QString::fromLatin1(where.picture), client);
        button->setObjectName(QStringLiteral("Image2_%1").arg(index));
        button->setGeometry(twipsRect(where.left, where.top, where.size, where.size));
        if (where.toolTip)
            button->setToolTip(QString::fromLatin1(where.toolTip));
        button->setAccessibleName(QString::fromLatin1(where.name));
        connect(button, &PictureButton::clicked, this, [this, index] { Q_EMIT commandClicked(index); });
        Image2[static_cast<std::size_t>(index)] = button;
    }
    for (const ButtonCaption& caption : ButtonCaptions) {
        QLabel* text = label("", QString::fromLatin1(caption.text), caption.left, ButtonCaptionTop, 0, 0);
        text->setObjectName(QStringLiteral("Label3_%1").arg(caption.index));
        text->adjustSize();
    }
}

PaletteShapes Form2::designShapes()
{
    const auto pixels = [](int left, int top, int width, int height) {
        return QRectF(left / double(TwipsPerPixel), top / double(TwipsPerPixel),
                      width / double(TwipsPerPixel), height / double(TwipsPerPixel));
    };
    return {pixels(240, 120, 2775, 1455), pixels(480, 1440, 2295, 615), pixels(120, 1920, 3015, 4695)};
}

void Form2::ShapePaletteWindow()
{
    setMask(paletteOutline(designShapes()));
}

void Form2::PlacePalette()
{
    m_placement->place();
}

void Form2::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    PlacePalette();
}

void Form2::returnFocusToSlip()
{
    if (!m_slip.isVisible() || m_slip.isMinimized())
        return;
    m_slip.activateWindow();
    m_slip.raise();
    if (!m_slip.focusWidget())
        m_slip.Text1[AccountNumber]->setFocus();
}

QList<QWidget*> Form2::tabChain() const
{
    QList<QWidget*> chain{Option1[0], Option1[1], Check1, SearchBox, List1};
    for (int index : ButtonTabOrder)
        chain.append(Image2[static_cast<std::size_t>(index)]);
    chain.removeIf(
        [](const QWidget* widget) { return !widget->isVisibleTo(widget->window()) || !widget->isEnabled(); });
    return chain;
}

void Form2::takeFocusByTab(bool forward)
{
    const QList<QWidget*> chain = tabChain();
    if (chain.isEmpty() || !isVisible())
        return;
    raise();
    activateWindow();
    (forward ? chain.first() : chain.last())->setFocus(forward ? Qt::TabFocusReason : Qt::BacktabFocusReason);
}

bool Form2::focusNextPrevChild(bool next)
{
    // The palette's controls in their own order; past either end the focus goes back to the slip form,
    // to its first field forward, to its last one backward.
    const QList<QWidget*> chain = tabChain();
    const qsizetype at = chain.indexOf(focusWidget());
    if (at < 0)
        return QWidget::focusNextPrevChild(next);
    const qsizetype to = at + (next ? 1 : -1);
    if (to >= 0 && to < chain.size()) {
        chain[to]->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
        return true;
    }
    if (!m_slip.isVisible() || m_slip.isMinimized())
        return true;
    m_slip.activateWindow();
    m_slip.raise();
    m_slip.Text1[next ? AccountNumber : PayerTown]->setFocus(next ? Qt::TabFocusReason
                                                                  : Qt::BacktabFocusReason);
    return true;
}

void Form2::enterList()
{
    if (List1->count() == 0)
        return;
    if (List1->currentRow() < 0)
        List1->setCurrentRow(0);
    List1->setFocus(Qt::OtherFocusReason);
}

std::optional<qsizetype> Form2::SelectedListIndex() const
{
    if (List1->count() == 0)
        return std::nullopt;
    int first = -1;
    for (const QModelIndex& index : List1->selectionModel()->selectedIndexes()) {
        if (first < 0 || index.row() < first)
            first = index.row();
    }
    if (first < 0)
        return std::nullopt;
    return List1->recordOf(first);
}

void Form2::showFilteredList(const QList<qsizetype>& shown, qsizetype total)
{
    List1->setShown(shown);
    Label4->setText(
        QStringLiteral("Record: %1 di %2").arg(QString::number(shown.size()), QString::number(total)));
    Label4->adjustSize();
}

void Form2::showSearch()
{
    if (!SearchBox->isVisible()) {
        SearchBox->setClearButtonEnabled(true);
        // The search line takes the top of the list's place; the list gives up that much height.
        const int height = SearchBox->sizeHint().height();
        SearchBox->setGeometry(m_listGeometry.x(), m_listGeometry.y(), m_listGeometry.width(), height);
        List1->setGeometry(m_listGeometry.adjusted(0, height + 2, 0, 0));
        SearchBox->show();
    }
    show();
    raise();
    activateWindow();
    SearchBox->setFocus(Qt::ShortcutFocusReason);
    SearchBox->selectAll();
}

void Form2::hideSearch()
{
    if (!SearchBox->isVisible())
        return;
    SearchBox->hide();
    List1->setGeometry(m_listGeometry);
    // Clearing the text tells the session, which shows the whole list again.
    SearchBox->clear();
    returnFocusToSlip();
}

bool Form2::searchShown() const
{
    return SearchBox->isVisible();
}

QString Form2::searchText() const
{
    return SearchBox->isVisible() ? SearchBox->text() : QString();
}

bool Form2::eventFilter(QObject* watched, QEvent* event)
{
    if ((watched != SearchBox && watched != List1) || event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    const bool plain = (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    if (watched == SearchBox && key->key() == Qt::Key_Escape) {
        hideSearch();
        return true;
    }
    if (watched == SearchBox && plain && key->key() == Qt::Key_Down) {
        enterList();
        return true;
    }
    if (plain && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)) {
        // Return recalls the chosen entry; from the search line, the first one found when none is.
        if (watched == SearchBox && List1->count() > 0 && !SelectedListIndex())
            List1->setCurrentRow(0);
        Q_EMIT commandClicked(RecallButton);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void Form2::clearArchiveList()
{
    List1->clear();
}

void Form2::showArchiveList(const ArchiveTable& table, const QLocale& locale)
{
    List1->setArchive(table, locale);
    Label4->setText(QStringLiteral("Record: ") + QString::number(table.size()));
    Label4->adjustSize();
}

void Form2::showArchiveListGrown(qsizetype added, const std::function<const ArchiveTable&()>& grow)
{
    List1->setArchiveGrown(added, grow);
    Label4->setText(QStringLiteral("Record: ") + QString::number(List1->count()));
    Label4->adjustSize();
}

PaletteState Form2::paletteState() const
{
    PaletteState state;
    state.premarcati = Option1[0]->isChecked();
    state.twoFrame = Option1[1]->isChecked();
    switch (Check1->checkState()) {
    case Qt::Unchecked:
        state.check = CheckBoxState::Unticked;
        break;
    case Qt::Checked:
        state.check = CheckBoxState::Ticked;
        break;
    case Qt::PartiallyChecked:
        state.check = CheckBoxState::Greyed;
        break;
    }
    return state;
}

void Form2::setPaletteState(const PaletteState& state)
{
    // Set one after the other, as a recall does: both may end up clear, and the second wins if both are set.
    for (QRadioButton* option : Option1)
        option->setAutoExclusive(false);
    Option1[0]->setChecked(state.premarcati);
    Option1[1]->setChecked(state.twoFrame);
    if (state.premarcati && state.twoFrame)
        Option1[0]->setChecked(false);
    for (QRadioButton* option : Option1)
        option->setAutoExclusive(true);

    Check1->setTristate(state.check == CheckBoxState::Greyed);
    Check1->setCheckState(state.check == CheckBoxState::Unticked ? Qt::Unchecked
                          : state.check == CheckBoxState::Greyed ? Qt::PartiallyChecked
                                                                 : Qt::Checked);
    returnFocusToSlip();
}

QImage Form2::euroMark() const
{
    return Picture1->pixmap().toImage();
}

void Form2::contextMenuEvent(QContextMenuEvent* event)
{
    if (PaletteMenu->isEmpty()) {
        event->ignore();
        return;
    }
    PaletteMenu->popup(event->globalPos());
    event->accept();
}

void Form2::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    // The three panels, in window coordinates.
    const PaletteShapes shapes = designShapes();
    const auto inWindow = [](const QRectF& r) { return r.translated(1, 1).adjusted(0.5, 0.5, -0.5, -0.5); };
    painter.setPen(QPen(PanelEdge, 1));
    painter.setBrush(PanelFill);
    painter.drawRect(inWindow(shapes.joint).adjusted(0, -4, 0, 4));
    painter.drawRoundedRect(inWindow(shapes.upperPanel), UpperPanelCorner / 2, UpperPanelCorner / 2);
    painter.drawRoundedRect(inWindow(shapes.lowerPanel), LowerPanelCorner / 2, LowerPanelCorner / 2);
    painter.setPen(Qt::NoPen);
    painter.drawRect(inWindow(shapes.joint).adjusted(0.5, -6, -0.5, 6));
    painter.setPen(QPen(PanelEdge, 1));
    painter.drawLine(inWindow(shapes.joint).topLeft() + QPointF(0, 6),
                     inWindow(shapes.joint).bottomLeft() - QPointF(0, 6));
    painter.drawLine(inWindow(shapes.joint).topRight() + QPointF(0, 6),
                     inWindow(shapes.joint).bottomRight() - QPointF(0, 6));

    // Miniatures of the two slip models beside their options.
    painter.setRenderHint(QPainter::Antialiasing, false);
    const auto slip = [&painter](const QRect& r, bool band) {
        painter.setPen(QPen(Qt::black, 1, band ? Qt::DotLine : Qt::SolidLine));
        painter.setBrush(Qt::white);
        painter.drawRect(r);
        painter.setPen(QPen(Qt::black, 1));
        const int divider = r.left() + r.width() / 3;
        painter.drawLine(divider, r.top() + 2, divider, r.bottom() - 1);
        if (band)
            painter.fillRect(QRect(r.left() + 1, r.top() + 1, r.width() - 1, 3), Qt::black);
        else
            painter.drawLine(r.left() + 1, r.top() + 4, r.right() - 1, r.top() + 4);
        for (int y = r.top() + 8; y < r.bottom() - 3; y += 4) {
            painter.drawLine(r.left() + 3, y, divider - 3, y);
            painter.drawLine(divider + 3, y, r.right() - 8, y);
        }
        for (int x = divider + 4; x < r.right() - 3; x += 3)
            painter.drawPoint(x, r.bottom() - 2);
    };
    slip(QRect(128, 14, 60, 30), true);
    slip(QRect(128, 52, 60, 30), false);
}
