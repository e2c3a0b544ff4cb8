#include "monitor_run.h"

#include "modbus/read_values.h"
#include "runs/data_log.h"
#include "runs/timing_advice.h"

#include "logfile/local_time.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace monitor {

using modbus::RowKind;

PollRun::PollRun(
    std::vector<std::string> frames, modbus::PollSettings settings, std::int64_t startUs)
    : frames_(std::move(frames))
    , settings_(settings)
    , schedule_(int(frames_.size()), settings, startUs)
    , backOff_(settings.backOffCycles)
    , nowUs_(startUs)
{
    stats_.started(startUs);
}

PollRun::~PollRun()
{
    if (record_)
        std::fclose(record_);
}

void PollRun::rows(const std::vector<modbus::FrameRow>& rows, std::int64_t wallMs)
{
    for (const modbus::FrameRow& row : rows) {
        if (out_ < 0)
            return;
        // Rows before the request's own (a button's request, the last poll's no reply) are
        // not its answer.
        if (!seenOwnRequest_) {
            seenOwnRequest_
                = row.kind == RowKind::Request && row.bytes == frames_[std::size_t(out_)];
            continue;
        }
        if (row.kind == RowKind::OtherAddress)
            sawOtherAddress_ = true;
        if (row.kind == RowKind::Interrupted) {
            // Another request went out (a design button): the poll is not the slave's loss.
            schedule_.answered(nowUs_);
            out_ = -1;
            continue;
        }
        const bool ends = row.kind == RowKind::NoReply || row.kind == RowKind::NotFrame
            || (row.replyMs && row.kind != RowKind::OtherAddress && row.kind != RowKind::Echo);
        if (ends)
            answered(row, wallMs);
    }
}

void PollRun::answered(const modbus::FrameRow& row, std::int64_t wallMs)
{
    const std::string& frame = frames_[std::size_t(out_)];
    modbus::PollOutcome outcome = modbus::OutcomeOf(row.kind);
    if (outcome == modbus::PollOutcome::NoReply && sawOtherAddress_)
        outcome = modbus::PollOutcome::OtherAddress; // only another slave answered
    const int code = outcome == modbus::PollOutcome::Exception && row.bytes.size() > 2
        ? int(modbus::ByteAt(row.bytes, 2))
        : 0;
    stats_.record(modbus::ByteAt(frame, 0), outcome, row.replyMs, code, nowUs_);
    judgeSlave(outcome);
    const auto values = outcome == modbus::PollOutcome::Good
        ? modbus::ValuesOfReply(frame, row.bytes)
        : std::nullopt;
    if (values) {
        watch_.update(*values, wallMs);
        record(*values);
        if (onValues)
            onValues(*values, nowUs_);
    } else {
        watch_.markStale(frame);
    }
    schedule_.answered(nowUs_);
    out_ = -1;
}

void PollRun::tick(std::int64_t nowUs)
{
    nowUs_ = nowUs;
    if (paused_)
        return;
    if (out_ >= 0 && schedule_.timedOut(nowUs)) {
        if (onTimedOut)
            onTimedOut();
        modbus::FrameRow silent;
        silent.kind = RowKind::NoReply;
        answered(silent, 0);
        // The next poll waits a tick: the line's rows, and any grace they call for, come first.
        return;
    }
    sendDue(nowUs);
}

void PollRun::sendDue(std::int64_t nowUs)
{
    for (std::optional<int> due; onSend && (due = schedule_.due(nowUs));) {
        if (mayGo && !mayGo(frames_[std::size_t(*due)]))
            return; // due, and goes once the line allows
        schedule_.sent(nowUs);
        if (*due == 0 && settings_.intervalUs > 0)
            stats_.recordLateness(schedule_.lastLatenessUs());
        if (!backOff_.polls(
                modbus::ByteAt(frames_[std::size_t(*due)], 0), schedule_.cyclesStarted())) {
            schedule_.answered(nowUs); // passed over this cycle
            continue;
        }
        out_ = *due;
        seenOwnRequest_ = false;
        sawOtherAddress_ = false;
        onSend(frames_[std::size_t(out_)]); // its own row comes back through rows()
        return;
    }
}

// Whether the slave answered at all: a dead one is backed off, and its watch rows say so.
void PollRun::judgeSlave(modbus::PollOutcome outcome)
{
    const int slave = modbus::ByteAt(frames_[std::size_t(out_)], 0);
    const modbus::BackOffChange change
        = backOff_.record(slave, schedule_.cyclesStarted(), modbus::SlaveAnswered(outcome));
    if (change != modbus::BackOffChange::None)
        watch_.markBackedOff(std::uint8_t(slave), change == modbus::BackOffChange::BackedOff);
}

void PollRun::setPaused(bool paused)
{
    // A poll out when the device went away is not the slave's failure: forgotten, uncounted.
    if (paused && out_ >= 0) {
        schedule_.answered(nowUs_);
        out_ = -1;
    }
    paused_ = paused;
}

void PollRun::stop() { schedule_.stop(); }

std::string PollRun::report(std::int64_t characterUs, bool mayBeUsb) const
{
    return stats_.report(&backOff_)
        + modbus::TimingAdvice(
            stats_.total(), modbus::LongestWireMs(frames_, characterUs), mayBeUsb);
}

bool PollRun::recordTo(const std::string& path)
{
    if (record_)
        std::fclose(record_);
    record_ = nullptr;
    recordFailure_.clear();
    recordedRows_ = 0;
    if (path.empty())
        return true;
    record_ = std::fopen(path.c_str(), "ab"); // appended: a new run never truncates the last
    if (!record_)
        return false;
    if (std::ftell(record_) == 0)
        std::fputs(modbus::DataLogHeader().c_str(), record_);
    std::fflush(record_);
    return true;
}

void PollRun::record(const modbus::ReadValues& values)
{
    if (!record_ || !recordFailure_.empty())
        return;
    const std::string row = modbus::DataLogRow(logfile::IsoLocalTimeNow(), values);
    // Flushed row by row: a kill loses at most the row being written.
    if (std::fputs(row.c_str(), record_) < 0 || std::fflush(record_) != 0)
        recordFailure_ = std::strerror(errno);
    else
        ++recordedRows_;
}

} // namespace monitor
