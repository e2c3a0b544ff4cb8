#include "slave_back_off.h"

#include <algorithm>

namespace modbus {

SlaveBackOff::SlaveBackOff(int everyCycles)
    : everyCycles_(std::max(everyCycles, 1))
{ }

bool SlaveBackOff::polls(int slave, int cycle) const
{
    const auto it = slaves_.find(slave);
    if (it == slaves_.end() || it->second.since == 0)
        return true;
    const State& s = it->second;
    return (cycle - s.since) % everyCycles_ == 0 && s.probedIn != cycle;
}

BackOffChange SlaveBackOff::record(int slave, int cycle, bool answered)
{
    State& s = slaves_[slave];
    if (answered) {
        const bool wasBackedOff = s.since != 0;
        s = {};
        return wasBackedOff ? BackOffChange::Back : BackOffChange::None;
    }
    ++s.silentPolls;
    if (s.since != 0) {
        s.probedIn = cycle;
        return BackOffChange::None;
    }
    if (everyCycles_ == 1 || s.silentPolls < kFailuresToBackOff)
        return BackOffChange::None;
    s.since = cycle;
    s.probedIn = cycle;
    return BackOffChange::BackedOff;
}

std::string SlaveBackOff::text(int slave, BackOffChange change) const
{
    const std::string who = "slave " + std::to_string(slave);
    switch (change) {
    case BackOffChange::BackedOff:
        return who + " backed off: no reply " + std::to_string(kFailuresToBackOff)
            + " times running, polled once every " + std::to_string(everyCycles_) + " cycles";
    case BackOffChange::Back:
        return who + " answers again: polled as before";
    default:
        return {};
    }
}

bool SlaveBackOff::backedOff(int slave) const
{
    const auto it = slaves_.find(slave);
    return it != slaves_.end() && it->second.since != 0;
}

std::vector<int> SlaveBackOff::backedOffSlaves() const
{
    std::vector<int> slaves;
    for (const auto& [slave, state] : slaves_)
        if (state.since != 0)
            slaves.push_back(slave);
    return slaves;
}

} // namespace modbus
