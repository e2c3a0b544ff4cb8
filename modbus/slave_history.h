// What the analysis remembers of each slave so that its hints fit: how many of its recent
// requests it answered (a slave that answers most is intermittent, not miswired), and whether
// it was given a hint this run (said once, not after every silence).
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <set>

namespace modbus {

class SlaveHistory
{
public:
    static constexpr std::size_t kRecent = 20;

    struct Recent
    {
        int answered = 0;
        int asked = 0;
    };

    // One of slave's requests ended: answered (it spoke, if garbled) or not.
    void ended(int slave, bool answered);
    Recent recent(int slave) const;
    // True the first time in a run a hint about slave is due.
    bool firstHint(int slave) { return hinted_.insert(slave).second; }
    void newRun() { hinted_.clear(); }

private:
    std::map<int, std::deque<bool>> outcomes_;
    std::set<int> hinted_;
};

} // namespace modbus
