// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/chiptool/resultjson.h"

#include "config/wordmeaning.h"
#include "production/recordjson.h"
#include "serial/traffictext.h"
#include "production/chipprogramming.h"
#include "tools/chiptool/chipsession.h"
#include "tools/chiptool/targetoptions.h"

using namespace Qt::StringLiterals;

namespace ResultJson {

QJsonValue chipText(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes);
}

QJsonObject head(const QString &command, const std::optional<ToolError> &error)
{
    QJsonObject object{{u"command"_s, command}, {u"status"_s, error ? int(error->status) : 0}};
    if (error)
        object.insert(u"error"_s, error->line);
    return object;
}

QJsonObject line(const ChipSession &session, const ConnectionSettings &chip)
{
    return {{u"port"_s, chip.port},
            {u"device"_s, session.ports().device(chip.port)},
            {u"speed"_s, chip.speed},
            {u"handshake"_s, chip.handshake != Handshake::None ? QJsonValue(handshakeName(chip.handshake))
                                                               : QJsonValue(QJsonValue::Null)}};
}

QJsonArray fields(ConfigWord word)
{
    QJsonArray array;
    for (const FieldMeaning &f : wordMeaning(word))
        array.append(QJsonObject{{u"field"_s, f.label}, {u"meaning"_s, f.meaning}, {u"known"_s, f.known}});
    return array;
}

QJsonObject run(const ProgrammingTarget &target, const ProgramRun &run)
{
    const ProgrammingResult &p = run.programming;
    return {{u"entry"_s, target.entry.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(target.entry)},
            {u"word"_s, target.word ? QJsonValue(target.word->text()) : QJsonValue(QJsonValue::Null)},
            {u"identity_written"_s, target.input.userIdentity ? QJsonValue(target.input.name.left(16))
                                                               : QJsonValue(QJsonValue::Null)},
            {u"detected_polarity"_s, p.detectedPolarity ? QJsonValue(*p.detectedPolarity)
                                                        : QJsonValue(QJsonValue::Null)},
            {u"settings"_s, RecordJson::settings(p.writes)},
            {u"settings_total"_s, run.settingCount},
            {u"identity_after"_s, run.programmed() ? chipText(p.identity) : QJsonValue(QJsonValue::Null)},
            {u"checks"_s, RecordJson::checks(run.checks)},
            {u"result"_s, run.passed() ? u"PASS"_s : u"FAIL"_s}};
}

QJsonObject merged(QJsonObject a, const QJsonObject &b)
{
    for (auto it = b.begin(); it != b.end(); ++it)
        a.insert(it.key(), it.value());
    return a;
}

} // namespace ResultJson
