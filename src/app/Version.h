#pragma once

#include <QString>

inline constexpr int VersionMajor = 1;
inline constexpr int VersionMinor = 3;

// "Cedolario      [ver. 1.3]"
inline QString slipFormTitle()
{
    return QStringLiteral("Cedolario      [ver. %1.%2]").arg(VersionMajor).arg(VersionMinor);
}

// " ver. 1.3 "
inline QString paletteVersionText()
{
    return QStringLiteral(" ver. %1.%2 ").arg(VersionMajor).arg(VersionMinor);
}

// "versione 1.3"
inline QString aboutVersionText()
{
    return QStringLiteral("versione %1.%2").arg(VersionMajor).arg(VersionMinor);
}
