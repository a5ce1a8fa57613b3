// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/trafficwindow.h"

#include "app/textfilesaver.h"
#include "serial/trafficrecord.h"
#include "serial/traffictext.h"

#include "ui_trafficwindow.h"

#include <QFontDatabase>
#include <QScrollBar>

using namespace Qt::StringLiterals;

TrafficWindow::TrafficWindow(const TrafficRecord &record, Prompter &prompter, QWidget *parent)
    : QWidget(parent), m_record(record), m_prompter(prompter), m_ui(std::make_unique<Ui::TrafficWindowForm>())
{
    m_ui->setupUi(this);
    setWindowFlag(Qt::Window);
    m_ui->trafficText->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_ui->trafficText->setMaximumBlockCount(MaxLines);

    m_batch.setSingleShot(true);
    m_batch.setInterval(BatchMs);
    connect(&m_batch, &QTimer::timeout, this, &TrafficWindow::appendNew);
    connect(&m_record, &TrafficRecord::changed, this, &TrafficWindow::scheduleAppend);
    connect(m_ui->clearButton, &QPushButton::clicked, this, &TrafficWindow::clearRecord);
    connect(m_ui->pauseButton, &QPushButton::clicked, this, &TrafficWindow::togglePause);
    connect(m_ui->saveButton, &QPushButton::clicked, this, &TrafficWindow::saveRecord);

    // What went over the line before the window opened is shown too.
    appendNew();
}

TrafficWindow::~TrafficWindow() = default;

void TrafficWindow::scheduleAppend()
{
    // The first event of a batch arms the timer; the others wait for it.
    if (!m_batch.isActive() && !m_ui->pauseButton->isChecked())
        m_batch.start();
}

void TrafficWindow::appendNew()
{
    if (m_ui->pauseButton->isChecked())
        return;
    // Up to a number taken first: the links go on recording meanwhile, in their threads.
    const quint64 until = m_record.nextSequence();
    const QList<TrafficEvent> events = m_record.eventsSince(m_next, until);
    m_next = until;
    if (events.isEmpty())
        return;
    QScrollBar *bar = m_ui->trafficText->verticalScrollBar();
    const bool following = bar->value() == bar->maximum();
    QString text = TrafficText::format(events, m_record.originNs());
    text.chop(1);  // appendPlainText starts a line of its own
    m_ui->trafficText->appendPlainText(text);
    if (following)
        bar->setValue(bar->maximum());
}

void TrafficWindow::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // Laid out only now: the end of what it held before it was shown is in view.
    QScrollBar *bar = m_ui->trafficText->verticalScrollBar();
    bar->setValue(bar->maximum());
}

QString TrafficWindow::shownText() const
{
    return TrafficText::format(m_record.eventsSince(m_from, m_next), m_record.originNs());
}

void TrafficWindow::clearRecord()
{
    m_ui->trafficText->clear();
    m_from = m_next = m_record.nextSequence();
}

void TrafficWindow::togglePause()
{
    // Resuming shows at once what came meanwhile.
    if (!m_ui->pauseButton->isChecked())
        appendNew();
}

void TrafficWindow::saveRecord()
{
    saveTextFile(m_prompter, tr("Save traffic record as..."), shownText());
}
