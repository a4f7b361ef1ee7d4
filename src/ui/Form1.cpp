// SPDX-License-Identifier: GPL-3.0-or-later

#include "ui/Form1.h"

#include "core/Version.h"
#include "core/amount/AmountFormat.h"
#include "core/amount/AmountWords.h"
#include "core/amount/CodeLine.h"
#include "core/geometry/PreviewRow.h"
#include "core/geometry/Twips.h"
#include "core/pictures/Pictures.h"
#include "core/slip/Clock.h"
#include "core/slip/FieldRules.h"
#include "core/slip/Imprint.h"
#include "core/slip/SlipText.h"
#include "platform/MessageBoxes.h"
#include "platform/Services.h"
#include "ui/HeadingBand.h"
#include "ui/ScreenFonts.h"
#include "ui/SlipLineEdit.h"

#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMetaMethod>
#include <QPainter>
#include <QScopedValueRollback>
#include <QScreen>

#include <limits>

namespace {

const QColor Red(255, 0, 0);
const QColor Blue(0, 0, 255);
const QColor White(255, 255, 255);
const QColor Black(0, 0, 0);
const QColor Yellow(255, 255, 0);

constexpr int ClientWidthTwips = 8415;
constexpr int ClientHeightTwips = 6450;
constexpr int FieldHeightTwips = 315;
// The room left between the slip form and the palette when the pair is centred on the screen.
constexpr int PairGapTwips = 200;

// The code-line previews: their row, their design lefts (amount, account, document type), the least
// space between two of them, and their font sizes, the design's first.
constexpr int PreviewTopTwips = 5880;
constexpr std::array<int, 3> PreviewLeftTwips{4440, 6120, 7680};
constexpr int PreviewRowLeftTwips = 120;
constexpr int PreviewGapPixels = 6;
constexpr double PreviewPointSize = 9.75;
constexpr double SmallestPreviewPointSize = 6;

struct FieldPlace {
    int left;
    int top;
    int width;
};

// Left, top and width of each field, by SlipField index.
constexpr std::array<FieldPlace, SlipFieldCount> FieldPlaces{{
    {4440, 4200, 3855}, // PayerName
    {3840, 4560, 3135}, // PayerAddress
    {7560, 4560, 735},  // PayerPostcode
    {3600, 4920, 4695}, // PayerTown
    {6360, 600, 1935},  // Amount
    {3960, 1200, 4335}, // AmountWords
    {120, 1920, 8175},  // PayeeLine1
    {120, 2280, 8175},  // PayeeLine2
    {120, 2640, 8175},  // PayeeLine3
    {1680, 600, 1215},  // AccountNumber
    {120, 3360, 8175},  // PaymentReason
    {480, 1200, 735},   // DocumentType
}};

constexpr std::array<int, SlipFieldCount> TabOrder{AccountNumber, Amount,       DocumentType,  AmountWords,
                                                   PayeeLine1,    PayeeLine2,   PayeeLine3,    PaymentReason,
                                                   PayerName,     PayerAddress, PayerPostcode, PayerTown};

QString headingText()
{
    return QStringLiteral("   CONTI CORRENTI POSTALI  -  Ricevuta di Accredito") +
           QString(64, QLatin1Char(' ')) + QStringLiteral("BancoPosta");
}

} // namespace

Form1::Form1(Services& services, QWidget* parent) : QWidget(parent), m_services(services)
{
    setObjectName(QStringLiteral("Form1"));
    setFixedSize(twipsToPixels(ClientWidthTwips), twipsToPixels(ClientHeightTwips));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    // The window manager's icon, at the size task bars and window lists show (the menus and launchers
    // take the scalable one the package installs): a larger picture only lengthens the start.
    setWindowIcon(QIcon(QPixmap::fromImage(Picture(QStringLiteral(":/cedolario-64.png")))));
    // The slip is white paper with its own inks, whatever the desktop's colour scheme: a text that sets
    // no colour of its own is black on it.
    QPalette colours = QWidget::palette();
    colours.setColor(QPalette::Window, White);
    colours.setColor(QPalette::WindowText, Black);
    setPalette(colours);
    setAutoFillBackground(true);
    setFont(ArialFont(9.75, false));

    buildCaptions();
    buildFields();
}

Form1::~Form1() = default;

QLabel* Form1::addLabel(const QString& name, const QString& text, int leftTwips, int topTwips,
                        double pointSize, bool bold, const QColor& colour)
{
    auto* label = new QLabel(text, this);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    label->setFont(ArialFont(pointSize, bold));
    QPalette colours = label->palette();
    colours.setColor(QPalette::WindowText, colour);
    label->setPalette(colours);
    label->move(twipsToPixels(leftTwips), twipsToPixels(topTwips));
    label->adjustSize();
    return label;
}

void Form1::buildCaptions()
{
    Label1 = new HeadingBand(headingText(), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setTextFormat(Qt::PlainText);
    Label1->setFont(ArialFont(9, true));
    Label1->setGeometry(twipsRect(0, 0, 8415, 225));
    Label1->setAutoFillBackground(true);
    QPalette band = Label1->palette();
    band.setColor(QPalette::Window, Red);
    band.setColor(QPalette::WindowText, White);
    Label1->setPalette(band);

    // A field's caption comes from FieldCaption(field); the other captions give their text.
    constexpr int NoField = -1;
    struct Caption {
        const char* name;
        int field;
        const char* text;
        int left;
        int top;
        bool red;
        double size;
    };
    static const Caption captions[] = {
        {"Label17", AccountNumber, nullptr, 1080, 640, true, 9},
        {"Label8", Amount, nullptr, 5640, 640, true, 9},
        {"Label11", DocumentType, nullptr, 120, 1240, false, 9},
        {"Label9", AmountWords, nullptr, 2160, 1240, true, 9},
        {"Label13", PayeeLine1, nullptr, 120, 1680, true, 9},
        {"Label10", PaymentReason, nullptr, 120, 3120, true, 9},
        {"Label2", NoField, "ESEGUITO DA", 3120, 3840, true, 9},
        {"Label3", PayerName, nullptr, 3120, 4240, true, 6.75},
        {"Label4", PayerAddress, nullptr, 3120, 4600, true, 6.75},
        {"Label5", PayerPostcode, nullptr, 7080, 4600, true, 6.75},
        {"Label6", PayerTown, nullptr, 3120, 4960, true, 6.75},
        {"Label7", NoField, "BOLLO DELL'UFFICIO POSTALE", 240, 5400, true, 6},
        {"Label18", NoField, "IMPORTANTE: NON SCRIVERE NELLA ZONA SOTTOSTANTE", 4080, 5400, true, 6},
        {"Label19", NoField, "codice bancoposta", 600, 5520, true, 6},
        {"Label20", NoField, "importo in euro", 4560, 5520, true, 6},
        {"Label21", NoField, "numero conto", 6120, 5520, true, 6},
        {"Label22", NoField, "tipo documento", 7440, 5520, true, 6},
    };
    for (const Caption& caption : captions) {
        const QString text =
            caption.field == NoField ? QString::fromUtf8(caption.text) : FieldCaption(caption.field);
        addLabel(QString::fromLatin1(caption.name), text, caption.left, caption.top, caption.size, true,
                 caption.red ? Red : Black);
    }

    // Code-line previews: window font, white background, sized to their text.
    const auto preview = [this](const char* name, int left) {
        QLabel* label = addLabel(QString::fromLatin1(name), QString(), left, PreviewTopTwips,
                                 PreviewPointSize, false, Black);
        label->setAutoFillBackground(true);
        return label;
    };
    Label15 = preview("Label15", PreviewLeftTwips[0]);
    Label14 = preview("Label14", PreviewLeftTwips[1]);
    Label12 = preview("Label12", PreviewLeftTwips[2]);

    Label23 = addLabel(QStringLiteral("Label23"), QString(), 360, 4115, 6.75, false, Black);
    Label23->resize(twipsToPixels(1815), Label23->height());
    Label24 = addLabel(QStringLiteral("Label24"), QString(), 360, 4440, 6.75, false, Black);
    Label25 = addLabel(QStringLiteral("Label25"), QString(), 360, 4680, 6.75, false, Black);
    Label26 = addLabel(QStringLiteral("Label26"), QString(), 360, 4950, 6.75, false, Black);

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setPixmap(QPixmap::fromImage(Picture(QStringLiteral(":/corner.png"))));
    Image1->setScaledContents(true);
    Image1->setGeometry(twipsRect(120, 360, 615, 615));
}

void Form1::buildFields()
{
    for (int index = 0; index < SlipFieldCount; ++index) {
        auto* field = new SlipLineEdit(index, this);
        connect(field, &SlipLineEdit::focusGained, this, &Form1::fieldFocusGained);
        connect(field, &SlipLineEdit::focusLost, this, &Form1::fieldFocusLost);
        field->setObjectName(QStringLiteral("Text1_%1").arg(index));
        // What a screen reader says of it: its caption on the slip, the payee's lines told apart.
        field->setAccessibleName(FieldName(index));
        field->setFont(ArialFont(8.25, true));
        field->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        QPalette colours = field->palette();
        colours.setColor(QPalette::Text, Blue);
        colours.setColor(QPalette::Base, White);
        field->setPalette(colours);
        const FieldPlace& place = FieldPlaces[static_cast<std::size_t>(index)];
        field->setGeometry(twipsRect(place.left, place.top, place.width, FieldHeightTwips));
        Text1[static_cast<std::size_t>(index)] = field;
    }
    Text1[DocumentType]->setText(QStringLiteral("123"));

    for (std::size_t i = 1; i < TabOrder.size(); ++i)
        setTabOrder(Text1[static_cast<std::size_t>(TabOrder[i - 1])],
                    Text1[static_cast<std::size_t>(TabOrder[i])]);
}

void Form1::PlacePair(int paletteWidth)
{
    const int slipWidthTwips = pixelsToTwips(frameGeometry().width());
    const int paletteWidthTwips = pixelsToTwips(paletteWidth);
    const QRect screenArea = screen()->geometry();
    const double left =
        (pixelsToTwips(screenArea.width()) - (slipWidthTwips + paletteWidthTwips + PairGapTwips)) / 2.0;
    const double top = (pixelsToTwips(screenArea.height()) - pixelsToTwips(frameGeometry().height())) / 2.0;
    move(screenArea.left() + qRound(left / TwipsPerPixel), screenArea.top() + qRound(top / TwipsPerPixel));
}

void Form1::load()
{
    setWindowTitle(slipFormTitle());

    const ImprintTexts imprint = makeImprint(m_services.clock);
    Label23->setText(imprint.label23);
    Label24->setText(imprint.label24);
    Label24->adjustSize();
    Label25->setText(imprint.label25);
    Label25->adjustSize();
    Label26->setText(imprint.label26);
    Label26->adjustSize();

    ShowAmountWordsField(true);
    Text1[AccountNumber]->setFocus();
}

QString Form1::fieldText(int index) const
{
    return Text1.at(static_cast<std::size_t>(index))->text();
}

void Form1::setFieldText(int index, const QString& text)
{
    // Every field is a SlipLineEdit (made in the constructor).
    static_cast<SlipLineEdit*>(Text1.at(static_cast<std::size_t>(index)))->setStoredText(text);
}

SlipTexts Form1::fields() const
{
    SlipTexts texts;
    for (int index = 0; index < SlipFieldCount; ++index)
        texts[static_cast<std::size_t>(index)] = fieldText(index);
    return texts;
}

void Form1::setFields(const SlipTexts& texts)
{
    for (int index = 0; index < SlipFieldCount; ++index)
        setFieldText(index, texts[static_cast<std::size_t>(index)]);
}

void Form1::refreshPreviews()
{
    const QString amount = fieldText(Amount);
    Label15->setText(amount.isEmpty() ? QString() : CodeLineAmountPiece(amount));
    Label14->setText(CodeLineAccountPiece(fieldText(AccountNumber)));
    Label12->setText(CodeLineTypePiece(fieldText(DocumentType)));
    arrangePreviews();
}

void Form1::ShowAmountWordsField(bool show)
{
    Text1[AmountWords]->setText(QString());
    Text1[AmountWords]->setVisible(show);
}

void Form1::setFieldBackground(int index, const QColor& colour)
{
    QLineEdit* field = Text1.at(static_cast<std::size_t>(index));
    QPalette colours = field->palette();
    colours.setColor(QPalette::Base, colour);
    field->setPalette(colours);
}

void Form1::fieldFocusGained(int index)
{
    m_editedField = index;
    setFieldBackground(index, Yellow);
}

void Form1::fieldFocusLost(int index)
{
    if (m_leavingRefusedAmount)
        return;
    if (m_editedField == index)
        m_editedField = -1;
    for (int field = 0; field < SlipFieldCount; ++field)
        setFieldBackground(field, White);
    applyLeavingRules(index);
}

bool Form1::commitEditing()
{
    if (m_editedField < 0)
        return true;
    return applyLeavingRules(m_editedField);
}

bool Form1::focusNextPrevChild(bool next)
{
    const QWidget* edge = Text1[next ? TabOrder.back() : TabOrder.front()];
    if (focusWidget() == edge && isSignalConnected(QMetaMethod::fromSignal(&Form1::tabbedOut))) {
        Q_EMIT tabbedOut(next);
        return true;
    }
    return QWidget::focusNextPrevChild(next);
}

bool Form1::applyLeavingRules(int index)
{
    for (int field = 0; field < SlipFieldCount; ++field) {
        const QString text = fieldText(field);
        const QString trimmed = TrimmedOfSpaces(text);
        if (trimmed != text)
            setFieldText(field, trimmed);
    }
    switch (index) {
    case AccountNumber:
        setPreview(Label14, CodeLineAccountPiece(fieldText(AccountNumber)));
        break;
    case DocumentType:
        setPreview(Label12, CodeLineTypePiece(fieldText(DocumentType)));
        break;
    case Amount:
        return checkAmount();
    default:
        break;
    }
    return true;
}

bool Form1::checkAmount()
{
    const std::optional<QString> formatted = FormatAmount(fieldText(Amount));
    if (!formatted) {
        // The amount is emptied, and so are the words and its preview, which described another amount.
        m_services.messages.critical(InvalidAmountMessage());
        setFieldText(Amount, QString());
        setFieldText(AmountWords, QString());
        setPreview(Label15, QString());
        leaveRefusedAmount();
        return false;
    }
    setFieldText(Amount, *formatted);
    setPreview(Label15, CodeLineAmountPiece(*formatted));
    WriteAmountWords(*formatted);
    return true;
}

void Form1::leaveRefusedAmount()
{
    // The user left the amount for another window of ours, a palette button most often: the field still
    // holds this window's focus and would take it back with the activation, and the next click on the
    // palette would leave it empty and be refused again, and again. The error has been shown once; the
    // focus goes on to the next field, as a Tab would have taken it, without checks.
    QLineEdit* amount = Text1[Amount];
    if (focusWidget() != amount || amount->hasFocus())
        return;
    const QScopedValueRollback leaving(m_leavingRefusedAmount, true);
    Text1[DocumentType]->setFocus(Qt::TabFocusReason);
}

void Form1::WriteAmountWords(const QString& amountText)
{
    // An amount too large for words empties the field rather than leave the words of another amount.
    setFieldText(AmountWords, AmountInWords(amountText).value_or(QString()));
}

void Form1::setPreview(QLabel* label, const QString& text)
{
    label->setText(text);
    arrangePreviews();
}

void Form1::arrangePreviews()
{
    const std::array<QLabel*, 3> row{Label15, Label14, Label12};
    QList<int> lefts;
    for (int left : PreviewLeftTwips)
        lefts.append(twipsToPixels(left));
    // Inside the red border on the right.
    const int rowRight = width() - 3;
    const auto sizedTo = [&row](double pointSize) {
        QList<int> widths;
        for (QLabel* label : row) {
            QFont font = label->font();
            font.setPointSizeF(pointSize);
            label->setFont(font);
            label->adjustSize();
            widths.append(label->width());
        }
        return widths;
    };
    // The design size while the three fit in the row, smaller ones for long codes; past the smallest
    // size they stand side by side from the left.
    for (double size = PreviewPointSize; size >= SmallestPreviewPointSize; size -= 0.75) {
        const QList<int> widths = sizedTo(size);
        std::optional<QList<int>> placed =
            arrangePreviewRow(lefts, widths, PreviewGapPixels, twipsToPixels(PreviewRowLeftTwips), rowRight);
        if (!placed && size - 0.75 < SmallestPreviewPointSize)
            placed = arrangePreviewRow(lefts, widths, PreviewGapPixels, twipsToPixels(PreviewRowLeftTwips),
                                       std::numeric_limits<int>::max() / 2);
        if (placed) {
            for (std::size_t i = 0; i < row.size(); ++i)
                row[i]->move(placed->at(static_cast<qsizetype>(i)), row[i]->y());
            return;
        }
    }
}

void Form1::closeEvent(QCloseEvent* event)
{
    // Closing the slip form ends the application, as the palette's exit button does.
    event->accept();
    m_services.endApplication();
}

void Form1::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const auto px = twipsToPixels;

    QPen border(Red, 2);
    border.setJoinStyle(Qt::MiterJoin);
    painter.setPen(border);
    painter.drawRect(QRectF(1, 1, width() - 2, height() - 2));
    painter.drawLine(QPointF(0, px(5760) + 1), QPointF(px(8400), px(5760) + 1));

    // The stamp box: dotted outline and upper line, solid lower line.
    QPen dotted(Red, 1, Qt::DotLine);
    painter.setPen(dotted);
    painter.drawRect(QRect(px(240), px(4080), px(2055) - 1, px(1095) - 1));
    painter.drawLine(px(240), px(4320), px(2280), px(4320));
    painter.setPen(QPen(Red, 1));
    painter.drawLine(px(240), px(4920), px(2280), px(4920));
}
