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
    : QWidget(parent), m_record(record), m_prompter(prompter), m_ui(new Ui::TrafficWindow)
{
    m_ui->setupUi(this);
    setWindowFlag(Qt::Window);
    m_ui->TrafficText->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_ui->TrafficText->setMaximumBlockCount(MaxLines);

    m_batch.setSingleShot(true);
    m_batch.setInterval(BatchMs);
    connect(&m_batch, &QTimer::timeout, this, &TrafficWindow::appendNew);
    connect(&m_record, &TrafficRecord::changed, this, &TrafficWindow::scheduleAppend);
    connect(m_ui->ClearButton, &QPushButton::clicked, this, &TrafficWindow::Clear_Click);
    connect(m_ui->PauseButton, &QPushButton::clicked, this, &TrafficWindow::Pause_Click);
    connect(m_ui->SaveButton, &QPushButton::clicked, this, &TrafficWindow::Save_Click);

    // What went over the line before the window opened is shown too.
    appendNew();
}

TrafficWindow::~TrafficWindow()
{
    delete m_ui;
}

void TrafficWindow::scheduleAppend()
{
    // The first event of a batch arms the timer; the others wait for it.
    if (!m_batch.isActive() && !m_ui->PauseButton->isChecked())
        m_batch.start();
}

void TrafficWindow::appendNew()
{
    if (m_ui->PauseButton->isChecked())
        return;
    // Up to a number taken first: the links go on recording meanwhile, in their threads.
    const quint64 until = m_record.nextSequence();
    const QList<TrafficEvent> events = m_record.eventsSince(m_next, until);
    m_next = until;
    if (events.isEmpty())
        return;
    QScrollBar *bar = m_ui->TrafficText->verticalScrollBar();
    const bool following = bar->value() == bar->maximum();
    QString text = TrafficText::format(events, m_record.originNs());
    text.chop(1);  // appendPlainText starts a line of its own
    m_ui->TrafficText->appendPlainText(text);
    if (following)
        bar->setValue(bar->maximum());
}

void TrafficWindow::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // Laid out only now: the end of what it held before it was shown is in view.
    QScrollBar *bar = m_ui->TrafficText->verticalScrollBar();
    bar->setValue(bar->maximum());
}

QString TrafficWindow::shownText() const
{
    return TrafficText::format(m_record.eventsSince(m_from, m_next), m_record.originNs());
}

void TrafficWindow::Clear_Click()
{
    m_ui->TrafficText->clear();
    m_from = m_next = m_record.nextSequence();
}

void TrafficWindow::Pause_Click()
{
    // Resuming shows at once what came meanwhile.
    if (!m_ui->PauseButton->isChecked())
        appendNew();
}

void TrafficWindow::Save_Click()
{
    saveTextFile(m_prompter, tr("Save traffic record as..."), shownText());
}
