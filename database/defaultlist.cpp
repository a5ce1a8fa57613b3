// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "database/defaultlist.h"

using namespace Qt::StringLiterals;

const QList<MechanismEntry> &defaultMechanisms()
{
    static const QList<MechanismEntry> list = {
        {u"KT 610-ST"_s, ConfigWord(0b1111'1100'0010'0000)},
        {u"KT 620-ST"_s, ConfigWord(0b1111'0100'0110'0000)},
        {u"KT 630-LV"_s, ConfigWord(0b1111'0000'1000'0000)},
        {u"KT 630-HS"_s, ConfigWord(0b1111'0010'1000'0000)},
        {u"RV 640-ST"_s, ConfigWord(0b1110'1100'0000'0000)},
        {u"RV 650-ST"_s, ConfigWord(0b1110'0100'0010'0000)},
        {u"RV 650-LV"_s, ConfigWord(0b1110'0000'0010'0000)},
        {u"RV 650-HS"_s, ConfigWord(0b1110'0010'0010'0000)},
        {u"TAV 650-ST"_s, ConfigWord(0b1100'0100'0010'0000)},
        {u"TAV 650-LV"_s, ConfigWord(0b1100'0000'0010'0000)},
        {u"TAV 650-HS"_s, ConfigWord(0b1100'0010'0010'0000)},
        {u"TAV 7110"_s, ConfigWord(0b1101'1000'0010'0000)},
        {u"TAV 7120"_s, ConfigWord(0b1100'1000'0010'0000)},
        {u"TAV 7130"_s, ConfigWord(0b1101'1100'0010'0000)},
        {u"TAV 7140"_s, ConfigWord(0b1100'1100'0010'0000)},
        {u"TAV 7150"_s, ConfigWord(0b1101'1100'0100'0000)},
        {u"TAV 7160"_s, ConfigWord(0b1100'1100'0100'0000)},
        {u"TAV 7170"_s, ConfigWord(0b1101'1010'0010'0000)},
        {u"TAV 7180"_s, ConfigWord(0b1100'1010'0010'0000)},
        {u"TAV 7210"_s, ConfigWord(0b1101'1000'0110'0000)},
        {u"TAV 7220"_s, ConfigWord(0b1100'1000'0110'0000)},
        {u"TAV 7230"_s, ConfigWord(0b1101'1010'0110'0000)},
        {u"TAV 7240"_s, ConfigWord(0b1100'1010'0110'0000)},
        {u"TAV 7310"_s, ConfigWord(0b1101'1000'1000'0000)},
        {u"TAV 7320"_s, ConfigWord(0b1100'1000'1000'0000)},
        {u"TAV 7330"_s, ConfigWord(0b1101'1010'1000'0000)},
        {u"TAV 7340"_s, ConfigWord(0b1100'1010'1000'0000)},
        {u"DW 650-LV"_s, ConfigWord(0b1100'0001'0010'0000)},
        {u"DW 650-HS"_s, ConfigWord(0b1100'0011'0010'0000)},
        {u"KT 660-ST"_s, ConfigWord(0b1111'1100'0100'0000)},
        {u"RV 670-LV"_s, ConfigWord(0b1110'0000'0010'0000)},
        {u"RV 670-HS"_s, ConfigWord(0b1110'0010'0010'0000)},
        {u"RV 680-LV"_s, ConfigWord(0b1110'0000'0010'0000)},
        {u"RV 680-HS"_s, ConfigWord(0b1110'0010'0010'0000)},
        {u"RV 690-LV"_s, ConfigWord(0b1110'0001'0010'0000)},
        {u"RV 690-HS"_s, ConfigWord(0b1110'0011'0010'0000)},
        {u"TAV 680-LV"_s, ConfigWord(0b1100'0000'0010'0000)},
        {u"TAV 680-HS"_s, ConfigWord(0b1100'0010'0010'0000)},
        {u"TAV 690-LV"_s, ConfigWord(0b1100'0001'0010'0000)},
        {u"TAV 690-HS"_s, ConfigWord(0b1100'0011'0010'0000)},
        {u"DW 640-HS"_s, ConfigWord(0b1100'0011'0000'0000)},
    };
    return list;
}

void fillDefaultList(MechanismList &list)
{
    list.append(defaultMechanisms());
}
