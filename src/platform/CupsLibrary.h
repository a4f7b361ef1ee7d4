// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cups/cups.h>

#include <QString>

// CUPS's library, loaded when the first job is sent rather than with the program: it brings TLS,
// Kerberos and service-discovery libraries of its own, whose loading every start-up would pay for
// a command most runs never give.
#define CEDOLARIO_CUPS_FUNCTIONS(F)                                                                          \
    F(cupsAddOption)                                                                                         \
    F(cupsCancelDestJob)                                                                                     \
    F(cupsCheckDestSupported)                                                                                \
    F(cupsCopyDestInfo)                                                                                      \
    F(cupsCreateDestJob)                                                                                     \
    F(cupsDoRequest)                                                                                         \
    F(cupsEncryption)                                                                                        \
    F(cupsFinishDestDocument)                                                                                \
    F(cupsFreeDestInfo)                                                                                      \
    F(cupsFreeDests)                                                                                         \
    F(cupsFreeOptions)                                                                                       \
    F(cupsGetDestMediaByName)                                                                                \
    F(cupsGetDestMediaDefault)                                                                               \
    F(cupsGetNamedDest)                                                                                      \
    F(cupsGetOption)                                                                                         \
    F(cupsLastError)                                                                                         \
    F(cupsLastErrorString)                                                                                   \
    F(cupsServer)                                                                                            \
    F(cupsSetServer)                                                                                         \
    F(cupsStartDestDocument)                                                                                 \
    F(cupsUser)                                                                                              \
    F(cupsWriteRequestData)                                                                                  \
    F(httpAssembleURIf)                                                                                      \
    F(httpClose)                                                                                             \
    F(httpConnect2)                                                                                          \
    F(ippAddInteger)                                                                                         \
    F(ippAddString)                                                                                          \
    F(ippAddStrings)                                                                                         \
    F(ippContainsString)                                                                                     \
    F(ippDelete)                                                                                             \
    F(ippFindAttribute)                                                                                      \
    F(ippGetInteger)                                                                                         \
    F(ippGetString)                                                                                          \
    F(ippNewRequest)                                                                                         \
    F(ippPort)

struct CupsLibrary {
#define CEDOLARIO_CUPS_MEMBER(name) decltype(&::name) name = nullptr;
    CEDOLARIO_CUPS_FUNCTIONS(CEDOLARIO_CUPS_MEMBER)
#undef CEDOLARIO_CUPS_MEMBER
};

// The library, loaded by the first call (from any thread); nullptr, with the reason for the user,
// when it is missing or lacks a function.
const CupsLibrary* loadCupsLibrary(QString& errorText);
