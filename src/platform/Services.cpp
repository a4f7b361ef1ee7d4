// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/Services.h"

#include <QCoreApplication>

void Services::endApplication() const
{
    if (exitApplication)
        exitApplication();
    else
        QCoreApplication::exit(0);
}
