// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>

#include <array>

// Index of each slip field in Form1's Text1 array, in the archive record and in the print layouts.
enum SlipField : int {
    PayerName = 0,
    PayerAddress = 1,
    PayerPostcode = 2,
    PayerTown = 3,
    Amount = 4,
    AmountWords = 5,
    PayeeLine1 = 6,
    PayeeLine2 = 7,
    PayeeLine3 = 8,
    AccountNumber = 9,
    PaymentReason = 10,
    DocumentType = 11,
};

inline constexpr int SlipFieldCount = 12;

// The caption the slip form prints beside the field ("Cognome e Nome", "di EURO"…); the three payee lines
// share "INTESTATO A".
QString FieldCaption(int field);
// The caption that tells the field from every other: a payee line adds which line it is
// ("INTESTATO A (seconda riga)").
QString FieldName(int field);

// The twelve field texts of one slip, by SlipField index.
using SlipTexts = std::array<QString, SlipFieldCount>;

// The states of the code-line check box, Check1, with the numbers the archive stores. Greyed comes only
// from a recalled slip: the code line is printed only when the box is ticked.
enum class CheckBoxState : int {
    Unticked = 0,
    Ticked = 1,
    Greyed = 2,
};

// The palette's state that travels with a slip: the two model options and the code-line check box.
struct PaletteState {
    bool premarcati = false;                     // Option1(0)
    bool twoFrame = true;                        // Option1(1)
    CheckBoxState check = CheckBoxState::Ticked; // Check1

    friend bool operator==(const PaletteState&, const PaletteState&) = default;
};
