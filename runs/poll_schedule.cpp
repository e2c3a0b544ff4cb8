#include "poll_schedule.h"

#include <algorithm>

namespace modbus {

PollSchedule::PollSchedule(int requests, PollSettings settings, std::int64_t startUs)
    : requests_(std::max(requests, 0))
    , settings_(settings)
    , cycleDueUs_(startUs)
    , next_(requests_) // no cycle under way: the first starts at once
{ }

bool PollSchedule::finished() const
{
    const bool allCycles = settings_.cycles > 0 && cycle_ >= settings_.cycles && next_ >= requests_;
    return requests_ == 0 || ((stopped_ || allCycles) && !outAt_);
}

std::optional<int> PollSchedule::due(std::int64_t nowUs) const
{
    if (outAt_ || stopped_ || requests_ == 0)
        return std::nullopt;
    if (next_ < requests_)
        return next_; // within a cycle: back to back
    if ((settings_.cycles > 0 && cycle_ >= settings_.cycles) || nowUs < cycleDueUs_)
        return std::nullopt;
    return 0;
}

void PollSchedule::sent(std::int64_t nowUs)
{
    if (next_ >= requests_) { // a cycle starts
        lateUs_ = nowUs - cycleDueUs_;
        // The next cycle is due an interval after this one was due; after now when this one
        // started more than an interval late: missed cycles are not made up for by a burst.
        cycleDueUs_ = (lateUs_ > settings_.intervalUs ? nowUs : cycleDueUs_) + settings_.intervalUs;
        next_ = 0;
        ++cycle_;
    }
    ++next_;
    outAt_ = nowUs;
}

void PollSchedule::answered(std::int64_t) { outAt_.reset(); }

bool PollSchedule::timedOut(std::int64_t nowUs) const
{
    return outAt_ && nowUs - *outAt_ >= settings_.timeoutUs;
}

} // namespace modbus
