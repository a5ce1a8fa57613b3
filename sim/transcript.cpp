// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/transcript.h"

void Transcript::append(const TranscriptEntry &entry)
{
    QMutexLocker lock(&m_mutex);
    m_entries.append(entry);
}

void Transcript::clear()
{
    QMutexLocker lock(&m_mutex);
    m_entries.clear();
}

QList<TranscriptEntry> Transcript::entries() const
{
    QMutexLocker lock(&m_mutex);
    return m_entries;
}

QByteArray Transcript::bytes() const
{
    QMutexLocker lock(&m_mutex);
    QByteArray out;
    out.reserve(m_entries.size());
    for (const TranscriptEntry &e : m_entries)
        out.append(char(e.byte));
    return out;
}

int Transcript::size() const
{
    QMutexLocker lock(&m_mutex);
    return int(m_entries.size());
}
