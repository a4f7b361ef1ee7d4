// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QLineEdit>

// One field of the slip form. It filters typed keys and cleans pasted, dropped or composed text by the
// field's rules (slip/FieldRules.h), and reports the focus gained and lost that the form acts on.
// Text set by the program (setText) is not filtered.
class SlipLineEdit : public QLineEdit
{
    Q_OBJECT

public:
    SlipLineEdit(int field, QWidget* parent = nullptr);

    int field() const { return m_field; }

    // Inserts the clipboard's text, cleaned, at the cursor.
    void pasteCleaned();
    // Sets a text as it is, whatever its length: the field's length limit (the postcode's five digits,
    // Qt's 32767 characters elsewhere) is for typing, and a longer text set here widens it to its own
    // length until the next text is set.
    void setStoredText(const QString& text);

Q_SIGNALS:
    void focusGained(int field);
    // Not sent when only a popup (a context menu) takes the focus, nor when another program or a modal
    // dialog (a message box) takes the activation: then it is sent once a window of the application is
    // active again, if the focus is no longer here.
    void focusLost(int field);

protected:
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Ctrl+Z with no typing of this field's to undo goes to the window (undoing a deletion).
    bool event(QEvent* event) override;

private:
    bool refusesKey(const QKeyEvent& event) const;
    void trackText(const QString& text);
    void cleanEditedText(const QString& text);
    void settleDeferredFocusLost();

    int m_field;
    // The texts before and after the last change, so an edit can be told apart from what was there.
    QString m_previousText;
    QString m_currentText;
    bool m_cleaning = false;
    bool m_focusLostDeferred = false;
};
