// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/production/linetotals.h"
#include "production/store/recordstore.h"

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QTimer>

#include <memory>

class StoreCounter;

// One hour of the chart: its start (local time) and the chips passed and failed in it.
struct HourFigures
{
    QDateTime start;
    int passed = 0;
    int failed = 0;
    friend bool operator==(const HourFigures &, const HourFigures &) = default;
};

// What the production chart shows: today's counts (since local midnight), the last
// hours chip by chip, and a note when they are not the store's.
struct DayFigures
{
    LineTotals today;
    QList<HourFigures> hours;  // oldest first, the current hour last
    QString note;
};

// Today's figures of the line: read from the audit store, which keeps them over a
// restart and counts every station writing to it, and brought up to date as this
// window's chips finish. The store is asked on a thread of its own (StoreCounter); a
// JSONL audit file keeps nothing to ask, so then the figures count the chips since Start.
class ProductionFigures final : public QObject
{
    Q_OBJECT

public:
    static constexpr int ChartHours = 8;

    explicit ProductionFigures(QObject *parent = nullptr);
    ~ProductionFigures() override;

    // The line starts writing its records to `audit` (a target makeRecordSink takes).
    void start(const QString &audit);
    // A chip's verdict was shown; its run started at `started`.
    void chipFinished(const QDateTime &started, bool passed);

    const DayFigures &figures() const { return m_figures; }

signals:
    void changed(const DayFigures &figures);

private:
    struct Chip
    {
        QDateTime started;
        bool passed = false;
        int number = 0;  // in the order the verdicts came
    };

    // The earliest time the figures cover: the start of today or of the chart, whichever
    // comes first.
    static QDateTime coveredSince(const QDateTime &now);
    void ask();
    void counted(int asked, const QList<MinuteCount> &counts);
    void notCounted(int asked, const QString &why);
    void clockMoved();
    void update();

    std::unique_ptr<StoreCounter> m_counter;
    bool m_asking = false;
    bool m_askAgain = false;
    QList<MinuteCount> m_stored;  // the store's last answer
    int m_storedUpTo = 0;         // the chips it holds for certain: those before it was asked
    QList<Chip> m_chips;          // this window's chips not yet in m_stored
    int m_chipsSeen = 0;
    QString m_note;
    QDateTime m_hourShown;
    QTimer m_clock;  // the chart moves on with the hour, today's counts at midnight
    DayFigures m_figures;
};
