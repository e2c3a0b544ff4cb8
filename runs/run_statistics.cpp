#include "run_statistics.h"

#include "modbus/number_format.h"

namespace modbus {
namespace {

    std::string slaveLine(int slave, const PollStatistics& s, bool backedOff)
    {
        std::string line = "slave " + std::to_string(slave) + ": requests "
            + std::to_string(s.requests()) + ", good replies "
            + std::to_string(s.count(PollOutcome::Good)) + ", no reply "
            + std::to_string(s.count(PollOutcome::NoReply)) + ", other failures "
            + std::to_string(
                s.requests() - s.count(PollOutcome::Good) - s.count(PollOutcome::NoReply));
        if (const auto median = s.percentileMs(0.5))
            line += ", reply time median " + FloatText(*median, 4) + " ms";
        if (s.requests() > 1 && s.runSeconds() > 0)
            line += ", " + RateText(s.pollsPerSecond()) + " polls per second";
        return line + (backedOff ? ", backed off" : "") + "\n";
    }

} // namespace

void RunStatistics::started(std::int64_t nowUs)
{
    startUs_ = nowUs;
    total_.started(nowUs);
}

void RunStatistics::record(int slave, PollOutcome outcome, std::optional<double> replyMs,
    int exceptionCode, std::int64_t nowUs)
{
    total_.record(outcome, replyMs, exceptionCode, nowUs);
    const auto [it, added] = slaves_.try_emplace(slave);
    if (added)
        it->second.started(startUs_); // its rate over the whole run
    it->second.record(outcome, replyMs, exceptionCode, nowUs);
}

bool RunStatistics::allGood() const
{
    return total_.requests() > 0 && total_.count(PollOutcome::Good) == total_.requests();
}

std::string RunStatistics::report(const SlaveBackOff* backOff) const
{
    std::string text = total_.report(check_);
    if (slaves_.size() > 1)
        for (const auto& [slave, s] : slaves_)
            text += slaveLine(slave, s, backOff && backOff->backedOff(slave));
    return text;
}

} // namespace modbus
