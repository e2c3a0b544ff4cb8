#include "slave_history.h"

#include <algorithm>

namespace modbus {

void SlaveHistory::ended(int slave, bool answered)
{
    std::deque<bool>& outcomes = outcomes_[slave];
    outcomes.push_back(answered);
    if (outcomes.size() > kRecent)
        outcomes.pop_front();
}

SlaveHistory::Recent SlaveHistory::recent(int slave) const
{
    const auto found = outcomes_.find(slave);
    if (found == outcomes_.end())
        return {};
    const std::deque<bool>& outcomes = found->second;
    return { int(std::count(outcomes.begin(), outcomes.end(), true)), int(outcomes.size()) };
}

} // namespace modbus
