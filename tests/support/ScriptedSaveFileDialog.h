// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/SaveFileDialog.h"

// Answers the file dialog with a path given in advance (empty: the user cancels) and counts
// how often it was asked.
class ScriptedSaveFileDialog final : public SaveFileDialog
{
public:
    explicit ScriptedSaveFileDialog(QString answer = {}) : answer(std::move(answer)) {}

    QString askPdfPath() override
    {
        ++asked;
        return answer;
    }

    QString answer;
    int asked = 0;
};
