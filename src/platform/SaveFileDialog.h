// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>

// Asks the user where to save a file.
class SaveFileDialog
{
public:
    virtual ~SaveFileDialog() = default;
    // The path of the PDF file to write, ending in ".pdf"; empty when the user cancels.
    virtual QString askPdfPath() = 0;
};

// The file dialog of the window system.
class QtSaveFileDialog final : public SaveFileDialog
{
public:
    QString askPdfPath() override;
};
