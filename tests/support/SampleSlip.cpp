// SPDX-License-Identifier: GPL-3.0-or-later

#include "SampleSlip.h"

SlipTexts SampleSlip()
{
    SlipTexts fields;
    fields[PayerName] = QStringLiteral("Mario Rossi");
    fields[PayerAddress] = QStringLiteral("Via Garibaldi 12");
    fields[PayerPostcode] = QStringLiteral("40121");
    fields[PayerTown] = QStringLiteral("Bologna");
    fields[Amount] = QStringLiteral("1234,50");
    fields[AmountWords] = QStringLiteral("milleduecentotrentaquattro/50");
    fields[PayeeLine1] = QStringLiteral("Comune di Bologna");
    fields[PayeeLine2] = QStringLiteral("Servizio Tributi");
    fields[PayeeLine3] = QStringLiteral("Piazza Maggiore 6");
    fields[AccountNumber] = QStringLiteral("12345");
    fields[PaymentReason] = QStringLiteral("Tassa rifiuti 2026, prima rata");
    fields[DocumentType] = QStringLiteral("123");
    return fields;
}

SlipTexts EmptySlip()
{
    return {};
}
