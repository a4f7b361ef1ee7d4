// SPDX-License-Identifier: GPL-3.0-or-later

#include "ScriptedMessageBoxes.h"

#include <QTest>

bool ScriptedMessageBoxes::askYesNo(const QString& text)
{
    shown.append({Shown::Question, text});
    if (answers.isEmpty()) {
        QTest::qFail(qPrintable(QStringLiteral("unexpected question: ") + text), __FILE__, __LINE__);
        return false;
    }
    return answers.takeFirst();
}

bool ScriptedMessageBoxes::askYesNoDefaultNo(const QString& text)
{
    const bool answer = askYesNo(text);
    shown.last().noByDefault = true;
    return answer;
}

void ScriptedMessageBoxes::inform(const QString& text)
{
    shown.append({Shown::Information, text});
}

void ScriptedMessageBoxes::critical(const QString& text)
{
    shown.append({Shown::Critical, text});
}

QStringList ScriptedMessageBoxes::texts() const
{
    QStringList result;
    for (const Shown& box : shown)
        result.append(box.text);
    return result;
}
