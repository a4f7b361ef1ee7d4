// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/MessageBoxes.h"

#include <QList>
#include <QStringList>

// Message boxes answered in advance; records every box shown.
class ScriptedMessageBoxes final : public MessageBoxes
{
public:
    struct Shown {
        enum Kind { Question, Information, Critical } kind;
        QString text;
        bool noByDefault = false; // a question whose default button is No
    };

    // Answers for the next questions, in order; a question with none left fails the test.
    QList<bool> answers;
    QList<Shown> shown;

    bool askYesNo(const QString& text) override;
    bool askYesNoDefaultNo(const QString& text) override;
    void inform(const QString& text) override;
    void critical(const QString& text) override;

    QStringList texts() const;
};
