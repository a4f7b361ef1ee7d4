// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "core/BuildConfig.h"

#include <QString>

inline constexpr int VersionMajor = CEDOLARIO_VERSION_MAJOR;
inline constexpr int VersionMinor = CEDOLARIO_VERSION_MINOR;

// "Cedolario      [ver. 1.3]"
inline QString slipFormTitle()
{
    return QStringLiteral("Cedolario      [ver. %1.%2]")
        .arg(QString::number(VersionMajor), QString::number(VersionMinor));
}

// " ver. 1.3 "
inline QString paletteVersionText()
{
    return QStringLiteral(" ver. %1.%2 ").arg(QString::number(VersionMajor), QString::number(VersionMinor));
}

// "versione 1.3"
inline QString aboutVersionText()
{
    return QStringLiteral("versione %1.%2").arg(QString::number(VersionMajor), QString::number(VersionMinor));
}
