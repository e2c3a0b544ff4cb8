// A polling run in the monitor: the schedule, the statistics, the watch and the data log of a
// list of requests, fed with the monitor's frame rows and the time. It sends through the
// window's own path (onSend) and never touches the port.
#pragma once

#include "modbus/frame_analysis.h"
#include "runs/poll_schedule.h"
#include "runs/run_statistics.h"
#include "runs/slave_back_off.h"
#include "runs/watch_table.h"

#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace monitor {

class PollRun
{
public:
    // frames: whole request frames, polled in order.
    PollRun(std::vector<std::string> frames, modbus::PollSettings settings, std::int64_t startUs);
    ~PollRun();

    std::function<void(const std::string& frame)> onSend;
    // Whether a frame may go now (the line's grace after an unanswered request); it waits if not.
    std::function<bool(const std::string& frame)> mayGo;
    // The poll out has had its time: the analysis is told, so that what comes later is late.
    std::function<void()> onTimedOut;
    // A good reply to a read, with its values: for the trend.
    std::function<void(const modbus::ReadValues& values, std::int64_t monoUs)> onValues;

    // The rows the analysis made, in order; wallMs: the local time of day now.
    void rows(const std::vector<modbus::FrameRow>& rows, std::int64_t wallMs);
    // Each tick: sends what is due while the port is there.
    void tick(std::int64_t nowUs);
    // The device went away (the run pauses, the poll out is forgotten uncounted) or came back.
    void setPaused(bool paused);
    void stop();
    bool finished() const { return schedule_.finished(); }
    // A poll is out and not answered yet: nothing else may go out on the line meanwhile.
    bool outstanding() const { return out_ >= 0; }

    // Appends a CSV row per good reply of a read to path (a header first when the file is
    // new); empty: no data log. Returns false when the file cannot be opened.
    bool recordTo(const std::string& path);
    // Set once a write of the data log failed; told once by the monitor.
    const std::string& recordFailure() const { return recordFailure_; }
    // The rows written to the data log since it was given.
    long recordedRows() const { return recordedRows_; }

    const modbus::PollStatistics& statistics() const { return stats_.total(); }
    // The frames' check as the report names it: "LRC" on ASCII.
    void setCheckName(std::string name) { stats_.setCheckName(std::move(name)); }
    // In total and slave by slave, with the slaves backed off.
    // With the timing advice, for a line at characterUs a character (0: a network).
    // mayBeUsb: the port may be a USB adapter (not a pty, not a network), whose latency the
    // advice may then name.
    std::string report(std::int64_t characterUs = 0, bool mayBeUsb = true) const;
    const modbus::SlaveBackOff& backOff() const { return backOff_; }
    const modbus::WatchTable& watch() const { return watch_; }
    const modbus::PollSchedule& schedule() const { return schedule_; }

private:
    void answered(const modbus::FrameRow& row, std::int64_t wallMs);
    void record(const modbus::ReadValues& values);
    // Sends the next request that is due, passing over those of backed-off slaves.
    void sendDue(std::int64_t nowUs);
    void judgeSlave(modbus::PollOutcome outcome);

    std::vector<std::string> frames_;
    modbus::PollSettings settings_;
    modbus::PollSchedule schedule_;
    modbus::RunStatistics stats_;
    modbus::SlaveBackOff backOff_;
    modbus::WatchTable watch_;
    int out_ = -1; // the request out, its index; -1: none
    bool seenOwnRequest_ = false; // rows count only after the request's own row
    bool sawOtherAddress_ = false;
    bool paused_ = false;
    std::int64_t nowUs_ = 0;
    std::FILE* record_ = nullptr;
    std::string recordFailure_;
    long recordedRows_ = 0;
};

} // namespace monitor
