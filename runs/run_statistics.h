// A run's statistics in total and slave by slave, for runs whose list reaches several slaves.
#pragma once

#include "poll_statistics.h"
#include "slave_back_off.h"

#include <map>
#include <string>
#include <utility>

namespace modbus {

class RunStatistics
{
public:
    void started(std::int64_t nowUs);
    // One poll of slave came to outcome (see PollStatistics::record).
    void record(int slave, PollOutcome outcome, std::optional<double> replyMs, int exceptionCode,
        std::int64_t nowUs);
    void recordLateness(std::int64_t us) { total_.recordLateness(us); }

    const PollStatistics& total() const { return total_; }
    const std::map<int, PollStatistics>& slaves() const { return slaves_; }
    // Whether every slave answered every poll (and there was one).
    bool allGood() const;
    // The total's lines; with several slaves, a line a slave after them, "backed off" where the
    // back-off says so.
    std::string report(const SlaveBackOff* backOff = nullptr) const;
    // The frames' check as the report names it: "CRC", or "LRC" on ASCII.
    void setCheckName(std::string name) { check_ = std::move(name); }

private:
    std::int64_t startUs_ = 0;
    PollStatistics total_;
    std::map<int, PollStatistics> slaves_;
    std::string check_ = "CRC";
};

} // namespace modbus
