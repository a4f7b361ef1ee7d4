// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/CupsLibrary.h"

#include <QStringList>

#include <dlfcn.h>

namespace {

// CUPS 2's library, as its runtime package installs it.
constexpr char LibraryName[] = "libcups.so.2";

struct Loaded {
    CupsLibrary functions;
    QString errorText;
    bool ok = false;
};

Loaded load()
{
    Loaded loaded;
    void* handle = dlopen(LibraryName, RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        loaded.errorText = QStringLiteral("La libreria di stampa CUPS (%1) non si carica: %2. Installare il "
                                          "pacchetto libcups2.")
                               .arg(QLatin1String(LibraryName), QString::fromLocal8Bit(dlerror()));
        return loaded;
    }
    QStringList missing;
#define CEDOLARIO_CUPS_RESOLVE(name)                                                                         \
    loaded.functions.name = reinterpret_cast<decltype(&::name)>(dlsym(handle, #name));                       \
    if (!loaded.functions.name)                                                                              \
        missing.append(QStringLiteral(#name));
    CEDOLARIO_CUPS_FUNCTIONS(CEDOLARIO_CUPS_RESOLVE)
#undef CEDOLARIO_CUPS_RESOLVE
    if (!missing.isEmpty()) {
        loaded.errorText = QStringLiteral("La libreria di stampa CUPS (%1) è troppo vecchia: mancano %2.")
                               .arg(QLatin1String(LibraryName), missing.join(QStringLiteral(", ")));
        return loaded;
    }
    // Kept for the life of the process, as a linked library would be.
    loaded.ok = true;
    return loaded;
}

} // namespace

const CupsLibrary* loadCupsLibrary(QString& errorText)
{
    static const Loaded library = load();
    if (!library.ok) {
        errorText = library.errorText;
        return nullptr;
    }
    return &library.functions;
}
