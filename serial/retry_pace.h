// How often a lost connection is tried again: at once after it was lost, then at most once a
// retry period, so a run against a server that is gone stays cheap until the server is back.
// Times are passed in.
#pragma once

#include <algorithm>
#include <cstdint>

namespace comm {

class RetryPace
{
public:
    static constexpr std::int64_t kPeriodUs = 1'000'000;

    // How long before the next attempt may go; 0: now.
    std::int64_t waitUs(std::int64_t nowUs) const
    {
        return std::max<std::int64_t>(0, nextUs_ - nowUs);
    }
    void failed(std::int64_t nowUs) { nextUs_ = nowUs + kPeriodUs; }
    // Connected, or lost just now: the next attempt goes at once.
    void reset() { nextUs_ = 0; }

private:
    std::int64_t nextUs_ = 0;
};

} // namespace comm
