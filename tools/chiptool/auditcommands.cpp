// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
// qv12-chip audit: the production record's store made, its spool sent, and its runs
// counted, exported and found. No port is touched.
#include "tools/chiptool/commands.h"

#include "config/wordmeaning.h"
#include "production/store/databasesink.h"
#include "production/store/recordexport.h"
#include "production/store/recordstore.h"
#include "tools/chiptool/console.h"
#include "tools/chiptool/exitstatus.h"
#include "tools/chiptool/resulttext.h"
#include "tools/chiptool/tooloptions.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

class AuditCommand
{
public:
    AuditCommand(const ToolOptions &options, Console &console)
        : m_options(options), m_query(options.audit), m_console(console)
    {
    }

    int run()
    {
        const auto target = parseStoreTarget(m_options.auditFile.isEmpty() ? defaultStorePath() : m_options.auditFile);
        if (!target)
            return fail(target.error() + QCoreApplication::translate("AuditCommands", ": see qv12-chip(1) for the forms of --audit"));
        if (target->kind == StoreTarget::Kind::Jsonl)
            return fail(QCoreApplication::translate("AuditCommands", "%1 is a JSONL file: audit works on an SQLite or PostgreSQL store (a JSONL file is read line by line, e.g. with jq)")
                            .arg(target->file));
        m_target = *target;
        if (m_query.action == u"init"_s)
            return init();
        if (m_query.action == u"flush"_s)
            return flush();

        RunFilter filter;
        if (!m_query.since.isEmpty()) {
            const auto since = RecordExport::dateBound(m_query.since, false);
            if (!since)
                return usage(u"--since: "_s + since.error());
            filter.since = *since;
        }
        if (!m_query.until.isEmpty()) {
            const auto until = RecordExport::dateBound(m_query.until, true);
            if (!until)
                return usage(u"--until: "_s + until.error());
            filter.until = *until;
        }
        filter.identity = m_options.identity.value_or(QString());
        filter.runId = m_query.run;
        filter.device = m_query.device;

        RecordStore store(m_target);
        if (const auto opened = store.open(RecordStore::Role::Reader); !opened)
            return fail(opened.error().message);
        if (m_query.action == u"summary"_s)
            return summary(store, filter);
        return listRuns(store, filter);
    }

private:
    QString command() const { return u"audit "_s + m_query.action; }

    int fail(const QString &line, ExitStatus status = ExitStatus::FileError)
    {
        m_console.error(line);
        m_console.result({{u"command"_s, command()}, {u"status"_s, int(status)}, {u"error"_s, line}});
        return int(status);
    }

    int usage(const QString &line) { return fail(line, ExitStatus::UsageError); }

    int done(QJsonObject fields)
    {
        fields.insert(u"command"_s, command());
        fields.insert(u"status"_s, 0);
        fields.insert(u"store"_s, m_target.describe());
        m_console.result(fields);
        return int(ExitStatus::Success);
    }

    int init()
    {
        RecordStore store(m_target);
        if (const auto opened = store.open(RecordStore::Role::Owner); !opened)
            return fail(opened.error().message);
        m_console.text(QCoreApplication::translate("AuditCommands", "The audit store %1 is ready.\n").arg(m_target.describe()));
        return done({});
    }

    int flush()
    {
        DatabaseRecordSink sink(m_target);
        if (const auto checked = sink.check(); !checked)
            return fail(checked.error().message);
        const auto before = sink.waitingCount();
        const auto left = sink.flush();
        if (!left)
            return fail(left.error().message);
        const int sent = before.valueOr(0) - *left;
        m_console.text(QCoreApplication::translate("AuditCommands", "%1 waiting record%2 sent to %3.\n").arg(sent).arg(sent == 1 ? QString() : u"s"_s)
                           .arg(m_target.describe()));
        return done({{u"sent"_s, sent}, {u"waiting"_s, *left}});
    }

    int summary(RecordStore &store, const RunFilter &filter)
    {
        const auto rows = store.summary(filter, m_query.by);
        if (!rows)
            return fail(rows.error().message);
        QList<SummaryRow> shown = *rows;
        if (m_query.by.isEmpty() && shown.isEmpty())
            shown.append(SummaryRow{});
        QJsonArray array;
        QString table = u"%1 %2 %3 %4 %5 %6 %7\n"_s.arg(groupHeading(), -24)
                            .arg(QCoreApplication::translate("AuditCommands", "Chips"), 6).arg(QCoreApplication::translate("AuditCommands", "Passed"), 7).arg(QCoreApplication::translate("AuditCommands", "Failed"), 7)
                            .arg(QCoreApplication::translate("AuditCommands", "Yield"), 7).arg(QCoreApplication::translate("AuditCommands", "Mean s"), 7).arg(QCoreApplication::translate("AuditCommands", "Slowest s"), 10);
        for (const SummaryRow &row : shown) {
            const QString group = m_query.by.isEmpty() ? QCoreApplication::translate("AuditCommands", "All") : row.group;
            table += u"%1 %2 %3 %4 %5% %6 %7\n"_s.arg(group, -24)
                         .arg(row.chips, 6).arg(row.passed, 7).arg(row.failed(), 7)
                         .arg(row.yieldPercent(), 6, 'f', 1)
                         .arg(row.meanMs / 1000.0, 7, 'f', 1)
                         .arg(double(row.slowestMs) / 1000.0, 10, 'f', 1);
            QJsonObject object{{u"chips"_s, row.chips}, {u"passed"_s, row.passed}, {u"failed"_s, row.failed()},
                               {u"yield_percent"_s, row.yieldPercent()}, {u"mean_ms"_s, row.meanMs},
                               {u"slowest_ms"_s, row.slowestMs}};
            if (!m_query.by.isEmpty())
                object.insert(m_query.by, row.group);
            array.append(object);
        }
        m_console.text(table);
        return done({{u"by"_s, m_query.by.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(m_query.by)},
                     {u"rows"_s, array}});
    }

    QString groupHeading() const
    {
        if (m_query.by.isEmpty())
            return QCoreApplication::translate("AuditCommands", "Runs");
        return m_query.by.left(1).toUpper() + m_query.by.mid(1);
    }

    int listRuns(RecordStore &store, const RunFilter &filter)
    {
        const auto runs = store.runs(filter);
        if (!runs)
            return fail(runs.error().message);
        if (m_query.action == u"export"_s) {
            QByteArray out = m_query.format == u"csv"_s ? RecordExport::csvHeader() : QByteArray();
            for (const ChipRecord &r : *runs) {
                out += m_query.format == u"csv"_s
                           ? RecordExport::csvLine(r)
                           : QJsonDocument(RecordExport::json(r)).toJson(QJsonDocument::Compact) + '\n';
            }
            if (std::fwrite(out.constData(), 1, size_t(out.size()), stdout) != size_t(out.size()) || std::fflush(stdout) != 0)
                return fail(QCoreApplication::translate("AuditCommands", "the export could not be written to standard output"));
            return int(ExitStatus::Success);
        }
        // find
        QJsonArray array;
        QString text;
        for (const ChipRecord &r : *runs) {
            array.append(RecordExport::json(r));
            // What came from a chip or a file is shown with its control characters escaped.
            const QString line = u"%1  %2  %3 COM%4 %5  %6  %7  %8  %9"_s
                                     .arg(r.runId.toString(QUuid::WithoutBraces), r.started.toUTC().toString(Qt::ISODate),
                                          escapeControls(r.host))
                                     .arg(r.station)
                                     .arg(escapeControls(r.device), r.entry.isEmpty() ? u"-"_s : escapeControls(r.entry),
                                          ResultText::chipText(r.identityAfter.value_or(r.identityBefore)),
                                          r.passed ? u"PASS"_s : u"FAIL"_s, escapeControls(r.failure));
            text += line.trimmed() + u'\n';
        }
        text += runs->isEmpty() ? QCoreApplication::translate("AuditCommands", "No run matches.\n")
                                : QCoreApplication::translate("AuditCommands", "%1 run%2.\n").arg(runs->size()).arg(runs->size() == 1 ? QString() : u"s"_s);
        m_console.text(text);
        return done({{u"runs"_s, array}});
    }

    const ToolOptions &m_options;
    const ToolOptions::AuditQuery &m_query;
    Console &m_console;
    StoreTarget m_target;
};

} // namespace

int ChipCommands::audit(const ToolOptions &options, Console &console)
{
    return AuditCommand(options, console).run();
}
