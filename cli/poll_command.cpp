#include "poll_command.h"

#include "ctrl_c.h"
#include "reply_output.h"

#include "logfile/local_time.h"

#include "exchange/exchange.h"
#include "modbus/read_values.h"
#include "runs/data_log.h"
#include "runs/poll_schedule.h"
#include "runs/poll_statistics.h"

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

    // One poll: the request out, its answer in; what it came to for the statistics.
    void poll(Link& link, const Options& o, const modbus::ByteString& frame,
        modbus::PollStatistics& stats)
    {
        const modbus::Exchange exchange = link.transact(frame);
        std::fputs(NoteLines(exchange).c_str(), stderr);
        const modbus::FrameRow* answer = exchange.answer();
        const modbus::PollOutcome outcome
            = answer ? modbus::OutcomeOf(answer->kind) : modbus::PollOutcome::NoReply;
        const int code = answer && outcome == modbus::PollOutcome::Exception
            ? int(modbus::ByteAt(answer->bytes, 2))
            : 0;
        stats.record(outcome, answer ? answer->replyMs : std::nullopt, code, nowUs());
        const auto values = answer && exchange.good() ? modbus::ValuesOfReply(frame, answer->bytes)
                                                      : std::nullopt;
        std::string line;
        if (o.csv)
            line = values ? modbus::DataLogRow(logfile::IsoLocalTimeNow(), *values) : std::string();
        else {
            line = logfile::IsoLocalTimeNow();
            // Appended piece by piece: "\t" + text trips a false -Wrestrict in GCC 12.
            if (values)
                for (const std::uint16_t v : values->values)
                    line.append(1, '\t').append(std::to_string(v));
            else
                line.append(1, '\t').append(exchange.verdict());
            line.append(1, '\n');
        }
        std::fputs(line.c_str(), stdout);
        std::fflush(stdout); // a line per poll, as it happens, also into a pipe
    }

    // Waits for the next poll in short steps, so that Ctrl+C ends it at once.
    void waitFor(const modbus::PollSchedule& schedule)
    {
        const std::int64_t wait = std::clamp<std::int64_t>(schedule.dueAtUs() - nowUs(), 0, 50'000);
        std::this_thread::sleep_for(std::chrono::microseconds(std::max<std::int64_t>(wait, 100)));
    }

    // The run's statistics and the line's counts on stderr; the exit status.
    int report(const Port& port, const Link& link, const modbus::PollStatistics& stats)
    {
        std::fputs(stats.report().c_str(), stderr);
        const modbus::LineCounts& counts = link.analysis().counts();
        std::fprintf(stderr, "late replies %d, stray bytes %d\n", counts.late, counts.strayBytes);
        if (!port.failure().empty()) {
            std::fprintf(stderr, "quillet-cli: %s\n", port.failure().c_str());
            return 1;
        }
        const bool allGood = stats.count(modbus::PollOutcome::Good) == stats.requests();
        return allGood && stats.requests() > 0 ? 0 : 1;
    }

} // namespace

int RunPolls(Port& port, Link& link, const Options& o, const modbus::ByteString& frame)
{
    CatchCtrlC();
    modbus::PollSchedule schedule(
        1, { *o.everyMs * 1000LL, o.count, o.timeoutMs * 1000LL }, nowUs());
    modbus::PollStatistics stats;
    stats.started(nowUs());
    if (o.csv)
        std::fputs(modbus::DataLogHeader().c_str(), stdout);
    while (!schedule.finished() && !CtrlCPressed() && port.failure().empty()) {
        if (!schedule.due(nowUs())) {
            waitFor(schedule);
            continue;
        }
        schedule.sent(nowUs());
        if (*o.everyMs > 0) // at 0 every poll is "late" by the last one's length
            stats.recordLateness(schedule.lastLatenessUs()); // one request: a poll a cycle
        poll(link, o, frame, stats);
        schedule.answered(nowUs());
    }
    return report(port, link, stats);
}

} // namespace cli
