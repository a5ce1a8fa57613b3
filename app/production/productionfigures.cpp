// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/production/productionfigures.h"

#include "production/store/storecounter.h"
#include "production/store/storetarget.h"

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

// Often enough to move the chart on within a minute of the hour.
constexpr int ClockMs = 60000;

QDateTime hourStart(const QDateTime &now)
{
    return QDateTime(now.date(), QTime(now.time().hour(), 0));
}

} // namespace

ProductionFigures::ProductionFigures(QObject *parent)
    : QObject(parent)
{
    m_note = tr("Today's figures are read from the audit store when the line starts.");
    m_clock.setInterval(ClockMs);
    connect(&m_clock, &QTimer::timeout, this, &ProductionFigures::clockMoved);
    m_clock.start();
    update();
}

ProductionFigures::~ProductionFigures() = default;

QDateTime ProductionFigures::coveredSince(const QDateTime &now)
{
    const QDateTime chartStart = hourStart(now).addSecs(-3600 * (ChartHours - 1));
    return std::min(now.date().startOfDay(), chartStart);
}

void ProductionFigures::start(const QString &audit)
{
    // A question to the store of a line before is not waited for here: its answer is
    // dropped with the counter.
    m_counter.reset();
    m_asking = false;
    m_askAgain = false;
    m_stored.clear();
    m_chips.clear();
    m_storedUpTo = m_chipsSeen;
    const Result<StoreTarget, QString> target = parseStoreTarget(audit);
    if (target && target->kind != StoreTarget::Kind::Jsonl) {
        m_counter = std::make_unique<StoreCounter>(*target);
        connect(m_counter.get(), &StoreCounter::counted, this, &ProductionFigures::counted);
        connect(m_counter.get(), &StoreCounter::notCounted, this, &ProductionFigures::notCounted);
        m_note.clear();
        ask();
    } else {
        m_note = tr("An audit file keeps no figures to read back: these count the chips since Start.");
    }
    update();
}

void ProductionFigures::chipFinished(const QDateTime &started, bool passed)
{
    m_chips.append({started, passed, ++m_chipsSeen});
    update();
    ask();
}

void ProductionFigures::ask()
{
    if (!m_counter)
        return;
    // One question at a time: chips that finish meanwhile are asked for once it is answered.
    if (m_asking) {
        m_askAgain = true;
        return;
    }
    m_asking = true;
    m_counter->ask(coveredSince(QDateTime::currentDateTime()), m_chipsSeen);
}

void ProductionFigures::counted(int asked, const QList<MinuteCount> &counts)
{
    m_asking = false;
    // Every chip shown before the question was asked had its record written: the store
    // counts it now. Those after may be in the answer too; the next answer settles them.
    m_stored = counts;
    m_storedUpTo = asked;
    m_chips.removeIf([asked](const Chip &chip) { return chip.number <= asked; });
    m_note.clear();
    update();
    if (std::exchange(m_askAgain, false))
        ask();
}

void ProductionFigures::notCounted(int /*asked*/, const QString &why)
{
    m_asking = false;
    m_askAgain = false;
    m_note = tr("Today's figures could not be read (%1): this window's chips are added to what the store said last.")
                 .arg(why);
    update();
}

void ProductionFigures::clockMoved()
{
    if (hourStart(QDateTime::currentDateTime()) == m_hourShown)
        return;
    update();
    ask();
}

void ProductionFigures::update()
{
    const QDateTime now = QDateTime::currentDateTime();
    const QDateTime todayStart = now.date().startOfDay();
    const QDateTime chartStart = hourStart(now).addSecs(-3600 * (ChartHours - 1));
    DayFigures figures;
    for (int hour = 0; hour < ChartHours; ++hour)
        figures.hours.append({chartStart.addSecs(3600 * hour), 0, 0});
    const auto add = [&](const QDateTime &started, qint64 passed, qint64 failed) {
        if (started >= todayStart) {
            figures.today.chips += int(passed + failed);
            figures.today.passed += int(passed);
            figures.today.failed += int(failed);
        }
        const qint64 hour = started >= chartStart ? chartStart.secsTo(started) / 3600 : -1;
        if (hour >= 0 && hour < ChartHours) {
            figures.hours[hour].passed += int(passed);
            figures.hours[hour].failed += int(failed);
        }
    };
    for (const MinuteCount &minute : std::as_const(m_stored))
        add(minute.minute, minute.passed, minute.failed);
    // Chips of another day are of no more use.
    const QDateTime covered = coveredSince(now);
    m_chips.removeIf([&covered](const Chip &chip) { return chip.started < covered; });
    for (const Chip &chip : std::as_const(m_chips))
        add(chip.started, chip.passed ? 1 : 0, chip.passed ? 0 : 1);
    figures.note = m_note;
    m_hourShown = hourStart(now);
    m_figures = figures;
    emit changed(m_figures);
}
