// SPDX-License-Identifier: GPL-3.0-or-later
// Linked into every test of the Windows build. Under Wine the tests run on the offscreen platform,
// whose fonts are Liberation's files alone: Arial and Times New Roman are mapped to the faces of the
// same widths, as fontconfig maps them on Linux and Wine's own replacements map them for its windows.
#include <QCoreApplication>
#include <QFont>

namespace {

void mapMetricCompatibleFaces()
{
    QFont::insertSubstitution(QStringLiteral("Arial"), QStringLiteral("Liberation Sans"));
    QFont::insertSubstitution(QStringLiteral("Times New Roman"), QStringLiteral("Liberation Serif"));
    QFont::insertSubstitution(QStringLiteral("Courier New"), QStringLiteral("Liberation Mono"));
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(mapMetricCompatibleFaces)
