// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QTimer>
#include <QWidget>

#include <memory>

class Prompter;
class TrafficRecord;
namespace Ui { class TrafficWindowForm; }

// The traffic monitor: every open, close and byte of the serial lines as the chip actions
// run, in the text form qv12-chip --log writes. New events are appended in batches, a
// tenth of a second apart at most, never one repaint per byte, so a flood from the chip
// leaves the windows answering; the view follows the end unless the user has scrolled up.
// "Clear" starts the view afresh, "Pause" holds it (the record goes on), "Save as..."
// writes what it shows.
class TrafficWindow final : public QWidget
{
    Q_OBJECT

public:
    static constexpr int BatchMs = 100;
    static constexpr int MaxLines = 100000;  // the oldest lines go first beyond this

    TrafficWindow(const TrafficRecord &record, Prompter &prompter, QWidget *parent = nullptr);
    ~TrafficWindow() override;

    // What the view shows, as "Save as..." writes it.
    QString shownText() const;

protected:
    void showEvent(QShowEvent *event) override;

private slots:
    void clearRecord();
    void togglePause();
    void saveRecord();

private:
    void scheduleAppend();
    void appendNew();

    const TrafficRecord &m_record;
    Prompter &m_prompter;
    std::unique_ptr<Ui::TrafficWindowForm> m_ui;
    QTimer m_batch;
    quint64 m_from = 0;  // the first event the view holds
    quint64 m_next = 0;  // the first event not yet shown
};
