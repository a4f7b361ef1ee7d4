// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The printer of the system the program runs on: CUPS's own library on Linux, Qt's Windows print
// support on Windows. Both take a SaveFileDialog for the PDF they offer instead.
#ifdef Q_OS_WIN
#include "platform/WindowsPrinter.h"
using SystemPrinter = WindowsPrinter;
#else
#include "platform/CupsPrinter.h"
using SystemPrinter = CupsPrinter;
#endif
