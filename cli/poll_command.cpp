#include "poll_command.h"

#include "ctrl_c.h"
#include "reply_output.h"

#include "logfile/local_time.h"

#include "exchange/exchange.h"
#include "modbus/read_values.h"
#include "runs/data_log.h"
#include "runs/poll_schedule.h"
#include "runs/run_statistics.h"
#include "runs/timing_advice.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>

namespace cli {
namespace {

    std::int64_t nowUs()
    {
        using namespace std::chrono;
        return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
    }

    // The poll's line: local time, the slave when several are polled, the values or the verdict.
    std::string pollLine(const Options& o, const modbus::Exchange& exchange,
        const std::optional<modbus::ReadValues>& values)
    {
        if (o.csv)
            return values ? modbus::DataLogRow(logfile::IsoLocalTimeNow(), *values) : std::string();
        std::string line = logfile::IsoLocalTimeNow();
        // Appended piece by piece: "\t" + text trips a false -Wrestrict in GCC 12.
        if (o.addresses.size() > 1)
            line.append("\tslave ")
                .append(std::to_string(modbus::ByteAt(exchange.request().bytes, 0)));
        if (values)
            for (const std::uint16_t v : values->values)
                line.append(1, '\t').append(std::to_string(v));
        else
            line.append(1, '\t').append(exchange.verdict());
        return line.append(1, '\n');
    }

    // One poll: the request out, its answer in; what it came to for the statistics. Whether the
    // slave answered at all (a reply of any kind).
    bool poll(
        Link& link, const Options& o, const modbus::ByteString& frame, modbus::RunStatistics& stats)
    {
        const modbus::Exchange exchange = link.transact(frame);
        std::fputs(NoteLines(exchange).c_str(), stderr);
        const modbus::FrameRow* answer = exchange.answer();
        const modbus::PollOutcome outcome = exchange.outcome();
        const int code = answer && outcome == modbus::PollOutcome::Exception
            ? int(modbus::ByteAt(answer->bytes, 2))
            : 0;
        stats.record(modbus::ByteAt(frame, 0), outcome, answer ? answer->replyMs : std::nullopt,
            code, nowUs());
        const auto values = answer && exchange.good() ? modbus::ValuesOfReply(frame, answer->bytes)
                                                      : std::nullopt;
        std::fputs(pollLine(o, exchange, values).c_str(), stdout);
        std::fflush(stdout); // a line per poll, as it happens, also into a pipe
        return modbus::SlaveAnswered(outcome);
    }

    // The poll of a slave, unless it is backed off this cycle; a change of its back-off told.
    void pollUnlessBackedOff(Link& link, const Options& o, const modbus::ByteString& frame,
        int cycle, modbus::RunStatistics& stats, modbus::SlaveBackOff& backOff)
    {
        const int slave = modbus::ByteAt(frame, 0);
        if (!backOff.polls(slave, cycle))
            return;
        const bool answered = poll(link, o, frame, stats);
        const std::string told = backOff.text(slave, backOff.record(slave, cycle, answered));
        if (!told.empty())
            std::fprintf(stderr, "quillet-cli: %s\n", told.c_str());
    }

    // Waits for the next poll in short steps, so that Ctrl+C ends it at once.
    void waitFor(const modbus::PollSchedule& schedule)
    {
        const std::int64_t wait = std::clamp<std::int64_t>(schedule.dueAtUs() - nowUs(), 0, 50'000);
        std::this_thread::sleep_for(std::chrono::microseconds(std::max<std::int64_t>(wait, 100)));
    }

    // The run's statistics and the line's counts on stderr; the exit status.
    int report(const Port& port, const Link& link, const modbus::RunStatistics& stats,
        const modbus::SlaveBackOff& backOff, double wireMs)
    {
        std::fputs(stats.report(&backOff).c_str(), stderr);
        // Reads that follow a line's speed: a real port, which may be a USB adapter.
        const bool mayBeUsb = !port.address().network() && port.timing(0, 0).timed;
        std::fputs(modbus::TimingAdvice(stats.total(), wireMs, mayBeUsb).c_str(), stderr);
        const modbus::LineCounts& counts = link.analysis().counts();
        std::fprintf(stderr, "late replies %d, stray bytes %d\n", counts.late, counts.strayBytes);
        if (!port.failure().empty()) {
            std::fprintf(stderr, "quillet-cli: %s\n", port.failure().c_str());
            return 1;
        }
        return stats.allGood() ? 0 : 1;
    }

} // namespace

int RunPolls(
    Port& port, Link& link, const Options& o, const std::vector<modbus::ByteString>& frames)
{
    CatchCtrlC();
    const modbus::PollSettings settings { *o.everyMs * 1000LL, o.count, o.timeoutMs * 1000LL,
        frames.size() > 1 ? o.backOffCycles : 1 };
    modbus::PollSchedule schedule(int(frames.size()), settings, nowUs());
    modbus::RunStatistics stats;
    if (port.framing() == modbus::Framing::Ascii)
        stats.setCheckName(std::string(modbus::CheckName(port.framing())));
    stats.started(nowUs());
    modbus::SlaveBackOff backOff(settings.backOffCycles);
    if (o.csv)
        std::fputs(modbus::DataLogHeader().c_str(), stdout);
    while (!schedule.finished() && !CtrlCPressed() && port.failure().empty()) {
        const std::optional<int> due = schedule.due(nowUs());
        if (!due) {
            waitFor(schedule);
            continue;
        }
        schedule.sent(nowUs());
        if (*due == 0 && *o.everyMs > 0) // at 0 every cycle is "late" by the last one's length
            stats.recordLateness(schedule.lastLatenessUs());
        pollUnlessBackedOff(
            link, o, frames[std::size_t(*due)], schedule.cyclesStarted(), stats, backOff);
        schedule.answered(nowUs());
    }
    return report(port, link, stats, backOff,
        modbus::LongestWireMs(frames, port.timing(0, 0).characterUs, port.framing()));
}

} // namespace cli
