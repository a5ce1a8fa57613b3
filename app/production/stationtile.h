// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFrame>

class QLabel;

// One station of the production line as the operator sees it from across the room: its
// COM number and device, its state in words, a large PASS or FAIL (the word, coloured),
// its counts and the last chip's identity and time. A screen reader hears the state
// whenever it changes: it is the tile's accessible name and description.
class StationTile final : public QFrame
{
    Q_OBJECT

public:
    enum class Verdict { None, Pass, Fail };

    StationTile(int port, const QString &device, QWidget *parent = nullptr);

    int port() const { return m_port; }
    QString state() const;
    Verdict verdict() const { return m_verdict; }

    void setState(const QString &state);
    // The large word; None clears it (a new chip is being worked on).
    void setVerdict(Verdict verdict);
    void setCounts(int passed, int failed);
    // The last chip's identity as it read (plain text) and when it finished.
    void setLastChip(const QString &identity, const QString &time);

private:
    void announce();

    const int m_port;
    Verdict m_verdict = Verdict::None;
    int m_passed = 0;
    int m_failed = 0;
    QLabel *m_title;
    QLabel *m_state;
    QLabel *m_verdictLabel;
    QLabel *m_counts;
    QLabel *m_lastChip;
};
