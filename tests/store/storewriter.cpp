// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
// A station's writing without the chips: COUNT made-up records into TARGET through the
// database sink, one line per record on stdout ("RUN n RUN_ID waiting W"), status 5 when
// a record is refused. The store tests start several at once, kill one in the middle
// of a transaction (--hold N: after the first setting of record N, "HOLDING" and wait)
// and stop the server under one (--pause MS between records; --retry FIRST,LONGEST: the
// sink's waits before it tries a store that did not answer again, in ms).
#include "production/store/databasesink.h"
#include "tests/store/records.h"

#include <QCoreApplication>
#include <QThread>

#include <cstdio>
#include <unistd.h>

using namespace Qt::StringLiterals;

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 4) {
        std::fputs("usage: tst_store_writer TARGET COUNT NAME [--pause MS] [--hold N] [--retry FIRST,LONGEST]\n", stderr);
        return 2;
    }
    const auto target = parseStoreTarget(args.at(1));
    if (!target) {
        std::fprintf(stderr, "%s\n", qPrintable(target.error()));
        return 5;
    }
    const int count = args.at(2).toInt();
    const QString name = args.at(3);
    const qsizetype pauseAt = args.indexOf(u"--pause"_s);
    const int pauseMs = pauseAt > 0 ? args.value(pauseAt + 1).toInt() : 0;
    const qsizetype holdAt = args.indexOf(u"--hold"_s);
    const int hold = holdAt > 0 ? args.value(holdAt + 1).toInt() : -1;

    const qsizetype retryAt = args.indexOf(u"--retry"_s);

    DatabaseRecordSink sink(*target);
    if (retryAt > 0) {
        const QStringList waits = args.value(retryAt + 1).split(u',');
        sink.setRetryWaits({waits.value(0).toLongLong(), waits.value(1).toLongLong()});
    }
    if (const auto checked = sink.check(); !checked) {
        std::fprintf(stderr, "%s\n", qPrintable(checked.error().message));
        return 5;
    }
    for (int i = 1; i <= count; ++i) {
        const ChipRecord record = TestRecords::made(name, i);
        if (i == hold) {
            sink.setStepHook([] {
                std::fputs("HOLDING\n", stdout);
                std::fflush(stdout);
                for (;;)
                    ::pause();
            });
        }
        const auto kept = sink.write(record);
        if (!kept) {
            std::fprintf(stderr, "%s\n", qPrintable(kept.error().message));
            return 5;
        }
        std::printf("RUN %d %s waiting %d\n", i, qPrintable(record.runId.toString(QUuid::WithoutBraces)), kept->waiting);
        std::fflush(stdout);
        if (pauseMs > 0)
            QThread::msleep(pauseMs);
    }
    return 0;
}
