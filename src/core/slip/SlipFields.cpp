// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/slip/SlipFields.h"

using namespace Qt::StringLiterals;

QString FieldCaption(int field)
{
    switch (field) {
    case PayerName:
        return u"Cognome e Nome"_s;
    case PayerAddress:
        return u"Indirizzo"_s;
    case PayerPostcode:
        return u"C.A.P."_s;
    case PayerTown:
        return u"Città"_s;
    case Amount:
        return u"di EURO"_s;
    case AmountWords:
        return u"Importo in LETTERE"_s;
    case PayeeLine1:
    case PayeeLine2:
    case PayeeLine3:
        return u"INTESTATO A"_s;
    case AccountNumber:
        return u"nr. C/C"_s;
    case PaymentReason:
        return u"CAUSALE"_s;
    case DocumentType:
        return u"TD"_s;
    default:
        return QString();
    }
}

QString FieldName(int field)
{
    switch (field) {
    case PayeeLine1:
        return FieldCaption(field) + u" (prima riga)"_s;
    case PayeeLine2:
        return FieldCaption(field) + u" (seconda riga)"_s;
    case PayeeLine3:
        return FieldCaption(field) + u" (terza riga)"_s;
    default:
        return FieldCaption(field);
    }
}
