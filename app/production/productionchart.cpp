// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/production/productionchart.h"

#include "app/production/productionlook.h"

#include <QAccessible>
#include <QBarCategoryAxis>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QLabel>
#include <QLocale>
#include <QStackedBarSeries>
#include <QValueAxis>
#include <QVBoxLayout>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

using ProductionLook::FailColour;
using ProductionLook::PassColour;
using ProductionLook::plainLabel;
constexpr int Steps = 4;

QString hourText(const QDateTime &start)
{
    return QLocale().toString(start.time(), QLocale::ShortFormat);
}

} // namespace

ProductionChart::ProductionChart(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(u"productionChart"_s);
    m_today = plainLabel(this, u"todayFigures"_s);

    m_passed = new QBarSet(tr("Passed"), this);
    m_passed->setColor(PassColour);
    m_failed = new QBarSet(tr("Failed"), this);
    m_failed->setColor(FailColour);
    auto *series = new QStackedBarSeries(this);
    series->append(m_passed);
    series->append(m_failed);

    auto *chart = new QChart;
    chart->addSeries(series);
    chart->setTitle(tr("Chips per hour, last %1 hours").arg(ProductionFigures::ChartHours));
    chart->legend()->setAlignment(Qt::AlignRight);
    chart->setAnimationOptions(QChart::NoAnimation);
    m_hours = new QBarCategoryAxis(chart);
    m_chips = new QValueAxis(chart);
    m_chips->setLabelFormat(u"%d"_s);
    chart->addAxis(m_hours, Qt::AlignBottom);
    chart->addAxis(m_chips, Qt::AlignLeft);
    series->attachAxis(m_hours);
    series->attachAxis(m_chips);

    m_view = new QChartView(chart, this);
    m_view->setObjectName(u"chipsPerHourChart"_s);
    m_view->setRenderHint(QPainter::Antialiasing);
    m_view->setMinimumHeight(fontMetrics().lineSpacing() * 14);
    // A screen reader user reaches it by Tab and hears its figures.
    m_view->setFocusPolicy(Qt::TabFocus);

    m_note = plainLabel(this, u"chartNote"_s);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_today);
    layout->addWidget(m_view, 1);
    layout->addWidget(m_note);
    setFigures(m_figures);
}

void ProductionChart::setFigures(const DayFigures &figures)
{
    m_figures = figures;
    const LineTotals &today = figures.today;
    m_today->setText(tr("Today: %1 chips, %2 passed, %3 failed, yield %4 %")
                         .arg(today.chips)
                         .arg(today.passed)
                         .arg(today.failed)
                         .arg(today.yieldPercent(), 0, 'f', 1));
    m_note->setText(figures.note);
    m_note->setVisible(!figures.note.isEmpty());

    QStringList hours;
    QList<qreal> passed;
    QList<qreal> failed;
    int most = 0;
    for (const HourFigures &hour : figures.hours) {
        hours.append(hourText(hour.start));
        passed.append(hour.passed);
        failed.append(hour.failed);
        most = std::max(most, hour.passed + hour.failed);
    }
    m_passed->remove(0, m_passed->count());
    m_passed->append(passed);
    m_failed->remove(0, m_failed->count());
    m_failed->append(failed);
    m_hours->setCategories(hours);
    // Four steps of whole chips, the highest bar within them.
    const int step = std::max(1, (most + Steps - 1) / Steps);
    m_chips->setRange(0, step * Steps);
    m_chips->setTickCount(Steps + 1);
    announce();
}

void ProductionChart::announce()
{
    m_view->setAccessibleName(tr("Chips per hour, last %1 hours").arg(ProductionFigures::ChartHours));
    QStringList hours;
    for (const HourFigures &hour : std::as_const(m_figures.hours)) {
        hours.append(tr("from %1: %2 passed, %3 failed").arg(hourText(hour.start)).arg(hour.passed).arg(hour.failed));
    }
    QString words = m_today->text() + u". "_s + hours.join(u"; "_s) + u'.';
    if (!m_figures.note.isEmpty())
        words += u' ' + m_figures.note;
    m_view->setAccessibleDescription(words);
    QAccessibleEvent changed(m_view, QAccessible::DescriptionChanged);
    QAccessible::updateAccessibility(&changed);
}
