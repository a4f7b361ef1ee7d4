// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "CapturingPrinter.h"
#include "FixedClock.h"
#include "ScriptedMessageBoxes.h"
#include "ScriptedPrintDialogs.h"
#include "ScriptedSheetDialogs.h"
#include "core/geometry/Twips.h"
#include "platform/Services.h"
#include "ui/ArchiveList.h"
#include "ui/Form1.h"
#include "ui/Form2.h"
#include "ui/PictureButton.h"
#include "ui/Session.h"

#include <QTemporaryDir>
#include <QTest>

#include <memory>

// Real implementations that a test puts in place of the harness's message boxes or printer.
struct Replacements {
    MessageBoxes* messages = nullptr;
    Printer* printer = nullptr;
};

// The application's windows wired to test doubles: scripted message boxes, a fixed clock, an archive in a
// temporary directory, a printer that records its pages, and an exit that is only counted.
struct AppHarness {
    ScriptedMessageBoxes messages;
    FixedClock clock;
    CapturingPrinter printer;
    ScriptedPrintDialogs printDialogs;
    ScriptedSheetDialogs sheetDialogs;
    QTemporaryDir directory;
    int exits = 0;
    Services services;
    std::unique_ptr<Session> session;
    Form1* form = nullptr;

    explicit AppHarness(Replacements replacements = {})
        : services{replacements.messages ? *replacements.messages : messages,
                   clock,
                   replacements.printer ? *replacements.printer : printer,
                   printDialogs,
                   sheetDialogs,
                   [this] { return directory.filePath(QStringLiteral("fillcp.dll")); },
                   [this] { ++exits; },
                   {}}
    {
    }

    // Builds the windows as main() does, without loading them.
    Form1& create()
    {
        session = std::make_unique<Session>(services);
        form = &session->slip();
        return *form;
    }

    // Starts as main() does: load, then show the slip form.
    Form1& start()
    {
        create();
        session->load();
        form->show();
        if (!QTest::qWaitForWindowExposed(form))
            qWarning("slip form not exposed");
        return *form;
    }

    Form2& palette() { return session->palette(); }
    ArchiveCommands& archive() { return session->archive(); }
};

// Geometry of a widget in twips, the unit the windows are laid out in.
inline QRect inTwips(const QRect& pixels)
{
    return QRect(pixelsToTwips(pixels.x()), pixelsToTwips(pixels.y()), pixelsToTwips(pixels.width()),
                 pixelsToTwips(pixels.height()));
}

// The entries the palette's list shows, in order.
inline QStringList listEntries(const Form2& palette)
{
    QStringList result;
    for (int i = 0; i < palette.List1->count(); ++i)
        result.append(palette.List1->entryText(i));
    return result;
}

// A click in the middle of one of the palette's buttons, as the user makes it.
inline void clickButton(Form2& palette, int button)
{
    QTest::mouseClick(palette.Image2[button], Qt::LeftButton, {}, palette.Image2[button]->rect().center());
}
