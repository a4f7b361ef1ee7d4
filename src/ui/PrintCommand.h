#pragma once

#include "core/slip/SlipFields.h"

#include <QImage>

struct Services;

// The "stampa" command: one page of the chosen slip model on the default printer, composed from the
// values the windows held at the click. Failures are told in Italian; without a default printer the
// user may save the page as a PDF file instead.
class PrintCommand
{
public:
    explicit PrintCommand(Services& services);

    enum class Result { Printed, NothingToPrint, Cancelled, Failed, SavedAsPdf, NotSaved };
    Result run(const SlipTexts& fields, const PaletteState& state, const QImage& euroMark);

private:
    Services& m_services;
};
