// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "core/slip/SlipFields.h"

#include <QWidget>

#include <array>

class QLabel;
class QLineEdit;
struct Services;

// The slip form: an on-screen image of the payment slip whose twelve fields hold the current slip.
class Form1 : public QWidget
{
    Q_OBJECT

public:
    explicit Form1(Services& services, QWidget* parent = nullptr);
    ~Form1() override;

    // Places the form so that it and a palette paletteWidth pixels wide, side by side, are centred on
    // the screen.
    void PlacePair(int paletteWidth);
    // The form's load: sets the title, the imprint and the words field, and puts the focus on the account.
    void load();

    QString fieldText(int index) const;
    // Writes a field without running the input rules.
    void setFieldText(int index, const QString& text);
    SlipTexts fields() const;
    void setFields(const SlipTexts& texts);
    // The three code-line previews made again from the fields as they stand (after a recall, say): the
    // pieces the printed code line will hold; an empty amount has none.
    void refreshPreviews();

    // Runs the rules of leaving a field on the field being edited, if one is: its text trimmed (with
    // every other field's), the amount checked and formatted with its words and code-line piece, the
    // account's or document type's piece. Every command that reads the fields calls it first, so what
    // it prints or saves never has figures, words and code line that disagree. False when the amount
    // was refused ("Formato IMPORTO non valido!!!" shown, the field emptied): the command stops. The
    // field keeps the focus and its colour.
    bool commitEditing();

    void ShowAmountWordsField(bool show);
    // Writes the words of a formatted amount into AmountWords; too large an amount empties it.
    void WriteAmountWords(const QString& amountText);

    std::array<QLineEdit*, SlipFieldCount> Text1{};
    QLabel* Label1 = nullptr;  // heading band
    QLabel* Label12 = nullptr; // document-type preview
    QLabel* Label14 = nullptr; // account preview
    QLabel* Label15 = nullptr; // amount preview
    QLabel* Label23 = nullptr; // imprint lines
    QLabel* Label24 = nullptr;
    QLabel* Label25 = nullptr;
    QLabel* Label26 = nullptr;
    QLabel* Image1 = nullptr; // corner picture

Q_SIGNALS:
    // Tab pressed in the last field of the tab order (forward) or Shift+Tab in the first: the focus
    // goes on to the window beside, when one listens; without a listener it wraps within the form.
    void tabbedOut(bool forward);

protected:
    bool focusNextPrevChild(bool next) override;
    void closeEvent(QCloseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    // Input rules: the focused field is yellow; leaving any field whitens and trims all twelve, then
    // updates the preview of the account or the document type, or checks and formats the amount.
    void fieldFocusGained(int index);
    void fieldFocusLost(int index);
    // Steps 2 and 3 of leaving field index (trim all, then that field's own rule); false when the
    // amount was refused.
    bool applyLeavingRules(int index);
    bool checkAmount();
    void leaveRefusedAmount();
    // The three previews in their row, none covering another or cut by the window's edge.
    void arrangePreviews();
    void setFieldBackground(int index, const QColor& colour);
    void setPreview(QLabel* label, const QString& text);

    void buildFields();
    void buildCaptions();
    QLabel* addLabel(const QString& name, const QString& text, int leftTwips, int topTwips, double pointSize,
                     bool bold, const QColor& colour);

    Services& m_services;
    bool m_leavingRefusedAmount = false;
    // The field that has had the focus since its leaving rules last ran; -1 when none.
    int m_editedField = -1;
};
