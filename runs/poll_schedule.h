// When a polling run's next request goes. The run polls its list of requests in order, one at a
// time and never two outstanding: a cycle of the list starts every interval, its requests go
// back to back, each as soon as the one before is answered or has timed out. A slow reply delays
// what follows; the schedule does not try to catch up with cycles it missed. Times are passed
// in, so tests drive it with invented ones.
#pragma once

#include <cstdint>
#include <optional>

namespace modbus {

struct PollSettings
{
    std::int64_t intervalUs = 1'000'000; // 0: as fast as replies allow
    int cycles = 0; // 0: until stopped
    std::int64_t timeoutUs = 1'000'000; // what an answer may take before it counts as no reply
    // A slave of the list that gave no reply 3 polls running is polled once every so many
    // cycles until it answers; 1: never backed off.
    int backOffCycles = 10;
};

class PollSchedule
{
public:
    PollSchedule(int requests, PollSettings settings, std::int64_t startUs);

    // The request to send now (its index in the list), if one is due.
    std::optional<int> due(std::int64_t nowUs) const;
    // The due request went out at nowUs.
    void sent(std::int64_t nowUs);
    // Its answer is complete (good or bad) at nowUs.
    void answered(std::int64_t nowUs);
    // Whether the request out has waited past the time-out; answered() then releases it.
    bool timedOut(std::int64_t nowUs) const;

    bool waiting() const { return outAt_.has_value(); }
    // When the request out times out; nullopt when none is out.
    std::optional<std::int64_t> timeoutAtUs() const
    {
        return outAt_ ? std::optional(*outAt_ + settings_.timeoutUs) : std::nullopt;
    }
    void stop() { stopped_ = true; }
    bool finished() const;
    // How late the last cycle started against its schedule.
    std::int64_t lastLatenessUs() const { return lateUs_; }
    int cyclesStarted() const { return cycle_; }
    // When the next cycle may start.
    std::int64_t dueAtUs() const { return cycleDueUs_; }

private:
    int requests_;
    PollSettings settings_;
    std::int64_t cycleDueUs_; // when the next cycle may start
    int next_ = 0; // the request of the current cycle to send next; requests_: the cycle is done
    int cycle_ = 0;
    std::optional<std::int64_t> outAt_;
    std::int64_t lateUs_ = 0;
    bool stopped_ = false;
};

} // namespace modbus
