// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>

// Modal message boxes, all titled with the executable's name ("cedolario").
class MessageBoxes
{
public:
    virtual ~MessageBoxes() = default;

    // Yes/No question without an icon, Yes the default button; true only for Yes.
    virtual bool askYesNo(const QString& text) = 0;
    // The same question with No the default button, for a question whose Yes does what the user
    // would rather not (printing texts that run out of their place): Return answers No.
    virtual bool askYesNoDefaultNo(const QString& text) { return askYesNo(text); }
    // OK box with the information icon.
    virtual void inform(const QString& text) = 0;
    // OK box with the critical (stop) icon.
    virtual void critical(const QString& text) = 0;
};
