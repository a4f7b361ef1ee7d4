#pragma once

#include "CapturingPrinter.h"
#include "FixedClock.h"
#include "ScriptedMessageBoxes.h"
#include "core/geometry/Twips.h"
#include "platform/Services.h"
#include "ui/Form1.h"
#include "ui/Form2.h"

#include <QTemporaryDir>
#include <QTest>

#include <memory>

// The application's windows wired to test doubles: scripted message boxes, a fixed clock, an archive in a
// temporary directory, a printer that records its pages, and an exit that is only counted.
struct AppHarness {
    ScriptedMessageBoxes messages;
    FixedClock clock;
    CapturingPrinter printer;
    QTemporaryDir directory;
    int exits = 0;
    Services services;
    std::unique_ptr<Form1> form;

    AppHarness()
    {
        services.messages = &messages;
        services.clock = &clock;
        services.printer = &printer;
        services.archivePath = [this] { return directory.filePath(QStringLiteral("fillcp.dll")); };
        services.exitApplication = [this] { ++exits; };
    }

    // Starts as main() does: load, then show the slip form.
    Form1& start()
    {
        form = std::make_unique<Form1>(services);
        form->load();
        form->show();
        if (!QTest::qWaitForWindowExposed(form.get()))
            qWarning("slip form not exposed");
        return *form;
    }

    Form2& palette() { return form->form2(); }
};

// Geometry of a widget in twips, as the form designer gives it.
inline QRect inTwips(const QRect& pixels)
{
    return QRect(pixelsToTwips(pixels.x()), pixelsToTwips(pixels.y()), pixelsToTwips(pixels.width()),
                 pixelsToTwips(pixels.height()));
}
