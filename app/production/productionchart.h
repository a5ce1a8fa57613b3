// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/production/productionfigures.h"

#include <QWidget>

class QBarCategoryAxis;
class QBarSet;
class QChartView;
class QLabel;
class QValueAxis;

// Today's totals of the line in words and its last hours as a chart: chips per hour,
// passed and failed stacked. The chart's accessible description says its figures in
// words, for a screen reader can't read the bars.
class ProductionChart final : public QWidget
{
    Q_OBJECT

public:
    explicit ProductionChart(QWidget *parent = nullptr);

    void setFigures(const DayFigures &figures);

    // The chart's bars, an hour each, oldest first.
    const QBarSet &passedBars() const { return *m_passed; }
    const QBarSet &failedBars() const { return *m_failed; }

private:
    void announce();

    QLabel *m_today;
    QChartView *m_view;
    QBarSet *m_passed;
    QBarSet *m_failed;
    QBarCategoryAxis *m_hours;
    QValueAxis *m_chips;
    QLabel *m_note;
    DayFigures m_figures;
};
