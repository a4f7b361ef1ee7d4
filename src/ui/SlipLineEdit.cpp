// SPDX-License-Identifier: GPL-3.0-or-later

#include "ui/SlipLineEdit.h"

#include "core/slip/FieldRules.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QPointer>

#include <algorithm>
#include <limits>

SlipLineEdit::SlipLineEdit(int field, QWidget* parent) : QLineEdit(parent), m_field(field)
{
    if (FieldMaxLength(field) > 0)
        setMaxLength(FieldMaxLength(field));
    connect(this, &QLineEdit::textChanged, this, &SlipLineEdit::trackText);
    connect(this, &QLineEdit::textEdited, this, &SlipLineEdit::cleanEditedText);
}

void SlipLineEdit::setStoredText(const QString& text)
{
    // QLineEdit's own default limit.
    constexpr int QtDefaultMaxLength = 32767;
    const int limit = FieldMaxLength(m_field) > 0 ? FieldMaxLength(m_field) : QtDefaultMaxLength;
    const int needed = int(std::min<qsizetype>(text.size(), std::numeric_limits<int>::max()));
    setMaxLength(std::max(limit, needed));
    setText(text);
}

void SlipLineEdit::pasteCleaned()
{
    if (isReadOnly())
        return;
    const QString text = CleanInsertedText(m_field, QGuiApplication::clipboard()->text());
    if (!text.isEmpty() || hasSelectedText())
        insert(text);
}

void SlipLineEdit::focusInEvent(QFocusEvent* event)
{
    QLineEdit::focusInEvent(event);
    if (m_focusLostDeferred) {
        m_focusLostDeferred = false;
        qApp->removeEventFilter(this);
    }
    Q_EMIT focusGained(m_field);
}

void SlipLineEdit::focusOutEvent(QFocusEvent* event)
{
    QLineEdit::focusOutEvent(event);
    if (event->reason() == Qt::PopupFocusReason)
        return;
    const QWidget* active = QApplication::activeWindow();
    if (event->reason() == Qt::ActiveWindowFocusReason && (active == nullptr || active->isModal())) {
        // Another program or a message box took the activation: decide when this window is active again.
        if (!m_focusLostDeferred) {
            m_focusLostDeferred = true;
            qApp->installEventFilter(this);
        }
        return;
    }
    Q_EMIT focusLost(m_field);
}

bool SlipLineEdit::event(QEvent* event)
{
    if (event->type() == QEvent::ShortcutOverride) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->matches(QKeySequence::Undo) && !isUndoAvailable()) {
            event->ignore();
            return true;
        }
    }
    return QLineEdit::event(event);
}

bool SlipLineEdit::eventFilter(QObject* watched, QEvent* event)
{
    if (m_focusLostDeferred && event->type() == QEvent::WindowActivate) {
        // The focus is restored after the activation: look once the event loop has settled it.
        QMetaObject::invokeMethod(this, &SlipLineEdit::settleDeferredFocusLost, Qt::QueuedConnection);
    }
    return QLineEdit::eventFilter(watched, event);
}

void SlipLineEdit::settleDeferredFocusLost()
{
    const QWidget* active = QApplication::activeWindow();
    if (!m_focusLostDeferred || active == nullptr || active->isModal())
        return;
    m_focusLostDeferred = false;
    qApp->removeEventFilter(this);
    if (!hasFocus())
        Q_EMIT focusLost(m_field);
}

// A key whose text the field would insert and does not take. Control characters (backspace, delete,
// return, the codes of Ctrl shortcuts) and Ctrl combinations insert nothing and go to the line edit.
bool SlipLineEdit::refusesKey(const QKeyEvent& event) const
{
    if (FieldInputOf(m_field) == FieldInput::AnyText)
        return false;
    const QString text = event.text();
    if (text.isEmpty() || text.front().category() == QChar::Other_Control)
        return false;
    const Qt::KeyboardModifiers modifiers = event.modifiers() & ~Qt::KeypadModifier;
    if (modifiers == Qt::ControlModifier || modifiers == (Qt::ControlModifier | Qt::ShiftModifier))
        return false;
    for (QChar c : text) {
        if (!FieldAcceptsCharacter(m_field, c))
            return true;
    }
    return false;
}

void SlipLineEdit::keyPressEvent(QKeyEvent* event)
{
    if (event->matches(QKeySequence::Paste)) {
        pasteCleaned();
        event->accept();
        return;
    }
    if (refusesKey(*event)) {
        event->accept(); // swallowed: nothing is inserted
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void SlipLineEdit::inputMethodEvent(QInputMethodEvent* event)
{
    const QString cleaned = CleanInsertedText(m_field, event->commitString());
    if (cleaned == event->commitString()) {
        QLineEdit::inputMethodEvent(event);
        return;
    }
    QInputMethodEvent replaced(event->preeditString(), event->attributes());
    replaced.setCommitString(cleaned, event->replacementStart(), event->replacementLength());
    QLineEdit::inputMethodEvent(&replaced);
    event->setAccepted(replaced.isAccepted());
}

void SlipLineEdit::dropEvent(QDropEvent* event)
{
    const QMimeData* data = event->mimeData();
    if (!data || !data->hasText()) {
        QLineEdit::dropEvent(event);
        return;
    }
    QMimeData cleaned;
    cleaned.setText(CleanInsertedText(m_field, data->text()));
    QDropEvent replaced(event->position(), event->possibleActions(), &cleaned, event->buttons(),
                        event->modifiers(), event->type());
    replaced.setDropAction(event->dropAction());
    QLineEdit::dropEvent(&replaced);
    event->setDropAction(replaced.dropAction());
    event->setAccepted(replaced.isAccepted());
}

void SlipLineEdit::contextMenuEvent(QContextMenuEvent* event)
{
    QPointer<QMenu> menu = createStandardContextMenu();
    // The menu's paste goes through the cleaning first, so the postcode's limit cuts the cleaned text.
    const QString pasteText = QLineEdit::tr("&Paste");
    for (QAction* action : menu->actions()) {
        if (action->text().section(u'\t', 0, 0) == pasteText) {
            disconnect(action, &QAction::triggered, this, nullptr);
            connect(action, &QAction::triggered, this, &SlipLineEdit::pasteCleaned);
        }
    }
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}

void SlipLineEdit::trackText(const QString& text)
{
    m_previousText = m_currentText;
    m_currentText = text;
}

// The safety net for every other way text arrives (a middle-click paste, QLineEdit::paste): the edit is
// undone and its text inserted again cleaned, so the length limit cuts the cleaned text and one undo
// takes the whole paste back. Where undoing would not give back the text before the edit, the inserted
// part is replaced in place instead.
void SlipLineEdit::cleanEditedText(const QString& text)
{
    if (m_cleaning)
        return;
    const QString before = m_currentText == text ? m_previousText : m_currentText;
    qsizetype prefix = 0;
    const qsizetype shorter = std::min(before.size(), text.size());
    while (prefix < shorter && before[prefix] == text[prefix])
        ++prefix;
    qsizetype suffix = 0;
    while (suffix < shorter - prefix && before[before.size() - 1 - suffix] == text[text.size() - 1 - suffix])
        ++suffix;
    const qsizetype insertedLength = text.size() - prefix - suffix;
    if (insertedLength <= 0)
        return;
    const QString inserted = text.mid(prefix, insertedLength);
    if (CleanInsertedText(m_field, inserted) == inserted)
        return;

    m_cleaning = true;
    if (isUndoAvailable()) {
        undo();
        if (QLineEdit::text() == before) {
            // The cursor and selection are back where the edit found them.
            insert(CleanInsertedText(m_field, inserted));
            m_cleaning = false;
            return;
        }
        redo();
    }
    setSelection(static_cast<int>(prefix), static_cast<int>(insertedLength));
    insert(CleanInsertedText(m_field, inserted));
    m_cleaning = false;
}
