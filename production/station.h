// SPDX-FileCopyrightText: QV12 Configurator contributors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "production/chipfailure.h"
#include "production/chiprecord.h"
#include "production/programmingtarget.h"
#include "production/recordsink.h"
#include "serial/cancellation.h"
#include "serial/chipworker.h"
#include "serial/connectionsettings.h"
#include "serial/portmap.h"

#include <QByteArray>
#include <QObject>

#include <functional>
#include <memory>
#include <optional>

class TrafficRecord;

// A chip that answered on the station's port, with the identity it sent.
struct StationArrival
{
    ConnectionSettings chip;
    QByteArray identity;
};

// What one station works with, given by value when it starts.
struct StationSettings
{
    int port = 0;                       // the station's COM number, the only one it opens
    PortMap ports;                      // where that number's device is
    int speed = 0;                      // bit/s; 0: found on the port by the first chip
    std::optional<Handshake> handshake; // given; else the one the chip's answer stands for
    ProgrammingTarget target;
    QString databaseFile;               // where the target's word came from, for the record
    int count = 0;                      // ends after this many chips; 0 runs until stopped
    bool reprogram = false;             // a chip already holding the target is programmed too
    bool endOnPortLoss = false;         // a port lost during a chip's work ends the station
    std::optional<StationArrival> firstChip;  // a chip the front end has found already
};

// A chip done: its record, and what became of the record.
struct StationVerdict
{
    ChipRecord record;
    std::optional<ChipFailure> failure;        // why the chip did not pass
    std::optional<ChipFailure> recordFailure;  // its record was not written: it ends the station
};

// How a station ended.
struct StationEnd
{
    int chips = 0;
    int passes = 0;
    int failures = 0;
    Cancellation::Reason stopped = Cancellation::Reason::None;
    std::optional<ChipFailure> error;  // what ended it early: a port or the records
};

// One production station: one port, chip after chip. Wait for a chip (it answers the
// identity request), make sure its record can be kept, program it, read it back and
// compare, write its record, and only then give its verdict; then wait until it is
// surely gone before taking the next, so that no chip is programmed twice. A chip that
// comes already holding the target is said to be so and left as it is (unless
// reprogram). It never opens another COM number than its own: the wake-up, the identity
// requests and, when it is not given the speed, the scan for it are on its port only.
//
// The work runs on a chip worker of the station's own; its events come to the thread
// that made the station as queued calls, and stop() ends it at its next wait (a chip
// being programmed then counts as failed). Ends after count chips, when stopped, at a
// record that can't be kept, or at a port error that waiting won't mend (no access,
// held by another program for HeldMs).
class Station final : public QObject
{
    Q_OBJECT

public:
    // A device that is not there polls this often for its return: a pinned path costs
    // a look at the file system, the system's list of ports a walk through sysfs.
    static constexpr int PinnedPollMs = 10;
    static constexpr int SystemPollMs = 200;
    // Between two identity requests to a chip that still answers.
    static constexpr int GonePollMs = 100;
    // A chip is gone once this many identity requests in a row went unanswered (or
    // found no device) over at least GoneMs: one reply lost on the line is not a chip
    // taken away, and taking it for one would program the same chip again.
    static constexpr int GoneMisses = 3;
    static constexpr int GoneMs = 300;
    // A chip that passed is gone, too, once this many answers in a row came with another
    // identity than its own: it was swapped faster than its absence could be seen, and
    // the one in the socket now is not the one the tile shows as passed.
    static constexpr int SwappedAnswers = 2;
    // A port held by another program ends the station once it has been held this long,
    // asked again every GonePollMs meanwhile: a program that takes it for a moment (a
    // station elsewhere opening the device whose number it had a moment ago) is waited out.
    static constexpr int HeldMs = 2000;

    // Every link event goes into programTraffic too, when given.
    Station(StationSettings settings, std::unique_ptr<RecordSink> sink,
            std::shared_ptr<TrafficRecord> programTraffic = {}, QObject *parent = nullptr);
    ~Station() override;

    // The question when the chip detects another strobe polarity than the target's and
    // the target says to ask: true programs it. Asked in this object's thread; without
    // one the chip is left as it is.
    void setPolarityQuestion(std::function<bool(quint8 detected, int chosen)> question);

    void start();
    void stop(Cancellation::Reason reason = Cancellation::Reason::OperatorStopped);
    bool isRunning() const { return m_running; }
    const StationSettings &settings() const { return m_settings; }

signals:
    void waiting();
    void found(int chip, const StationArrival &arrival);
    void alreadyProgrammed(const StationArrival &arrival);
    // Programming's steps, then its ReadBack step.
    void progress(const ProgrammingStep &step);
    void recordWritten(const ChipRecord &record, const RecordKept &kept);
    void verdict(const StationVerdict &verdict);
    void gone();
    // The port went away or failed during a chip's work.
    void portLost(const ChipFailure &failure);
    void finished(const StationEnd &end);

private:
    class Run;

    StationSettings m_settings;
    std::shared_ptr<RecordSink> m_sink;  // used on the worker's thread only
    std::function<bool(quint8, int)> m_polarityQuestion;
    ChipWorker m_worker;
    Cancellation m_job;
    bool m_running = false;
};
