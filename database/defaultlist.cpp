// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "database/defaultlist.h"

using namespace Qt::StringLiterals;

const QList<MechanismEntry> &defaultMechanisms()
{
    static const QList<MechanismEntry> list = {
        {u"KT 610-ST"_s, u"1111110000100000"_s},
        {u"KT 620-ST"_s, u"1111010001100000"_s},
        {u"KT 630-LV"_s, u"1111000010000000"_s},
        {u"KT 630-HS"_s, u"1111001010000000"_s},
        {u"RV 640-ST"_s, u"1110110000000000"_s},
        {u"RV 650-ST"_s, u"1110010000100000"_s},
        {u"RV 650-LV"_s, u"1110000000100000"_s},
        {u"RV 650-HS"_s, u"1110001000100000"_s},
        {u"TAV 650-ST"_s, u"1100010000100000"_s},
        {u"TAV 650-LV"_s, u"1100000000100000"_s},
        {u"TAV 650-HS"_s, u"1100001000100000"_s},
        {u"TAV 7110"_s, u"1101100000100000"_s},
        {u"TAV 7120"_s, u"1100100000100000"_s},
        {u"TAV 7130"_s, u"1101110000100000"_s},
        {u"TAV 7140"_s, u"1100110000100000"_s},
        {u"TAV 7150"_s, u"1101110001000000"_s},
        {u"TAV 7160"_s, u"1100110001000000"_s},
        {u"TAV 7170"_s, u"1101101000100000"_s},
        {u"TAV 7180"_s, u"1100101000100000"_s},
        {u"TAV 7210"_s, u"1101100001100000"_s},
        {u"TAV 7220"_s, u"1100100001100000"_s},
        {u"TAV 7230"_s, u"1101101001100000"_s},
        {u"TAV 7240"_s, u"1100101001100000"_s},
        {u"TAV 7310"_s, u"1101100010000000"_s},
        {u"TAV 7320"_s, u"1100100010000000"_s},
        {u"TAV 7330"_s, u"1101101010000000"_s},
        {u"TAV 7340"_s, u"1100101010000000"_s},
        {u"DW 650-LV"_s, u"1100000100100000"_s},
        {u"DW 650-HS"_s, u"1100001100100000"_s},
        {u"KT 660-ST"_s, u"1111110001000000"_s},
        {u"RV 670-LV"_s, u"1110000000100000"_s},
        {u"RV 670-HS"_s, u"1110001000100000"_s},
        {u"RV 680-LV"_s, u"1110000000100000"_s},
        {u"RV 680-HS"_s, u"1110001000100000"_s},
        {u"RV 690-LV"_s, u"1110000100100000"_s},
        {u"RV 690-HS"_s, u"1110001100100000"_s},
        {u"TAV 680-LV"_s, u"1100000000100000"_s},
        {u"TAV 680-HS"_s, u"1100001000100000"_s},
        {u"TAV 690-LV"_s, u"1100000100100000"_s},
        {u"TAV 690-HS"_s, u"1100001100100000"_s},
        {u"DW 640-HS"_s, u"1100001100000000"_s},
    };
    return list;
}

void FillDefaultList(MechanismList &list)
{
    list.append(defaultMechanisms());
}
