// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/MessageBoxes.h"

class QWidget;

// Message boxes through QMessageBox, titled with the executable's base name.
class QtMessageBoxes final : public MessageBoxes
{
public:
    bool askYesNo(const QString& text) override;
    bool askYesNoDefaultNo(const QString& text) override;
    void inform(const QString& text) override;
    void critical(const QString& text) override;

    static QString title();
};
