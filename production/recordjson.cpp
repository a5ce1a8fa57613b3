// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "production/recordjson.h"

#include <QJsonObject>

using namespace Qt::StringLiterals;

namespace RecordJson {

QJsonArray settings(const QList<SettingWrite> &writes)
{
    QJsonArray array;
    for (const SettingWrite &w : writes) {
        array.append(QJsonObject{{u"setting"_s, w.setting}, {u"value"_s, w.value},
                                 {u"echo"_s, w.echo}, {u"ok"_s, w.echoed()}});
    }
    return array;
}

QJsonArray checks(const QList<RecordedCheck> &checks)
{
    QJsonArray array;
    for (const RecordedCheck &c : checks) {
        array.append(QJsonObject{{u"check"_s, c.name}, {u"expected"_s, c.expected},
                                 {u"actual"_s, c.actual}, {u"ok"_s, c.ok}});
    }
    return array;
}

} // namespace RecordJson
