// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

class QSocketNotifier;

// Ctrl-C (SIGINT), SIGTERM and SIGHUP, turned into a signal of the event loop: the handler only
// writes a byte to a pipe that a socket notifier watches, so nothing unsafe runs inside
// it and every wait of a chip job sees the request at its next turn.
class Interruption final : public QObject
{
    Q_OBJECT

public:
    explicit Interruption(QObject *parent = nullptr);
    ~Interruption() override;

signals:
    void interrupted();

private:
    QSocketNotifier *m_notifier = nullptr;
};
