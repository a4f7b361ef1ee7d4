// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "core/slip/SlipFields.h"

// A filled-in slip used by the print tests, the sample pictures and the benchmark.
SlipTexts SampleSlip();
// The same slip with every field empty.
SlipTexts EmptySlip();
