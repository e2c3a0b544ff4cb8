// A dead slave must not slow a run's others: one that gave no reply so many polls running is
// backed off, polled once every so many cycles, and polled as before as soon as it answers.
// Counted in the schedule's cycles, so tests drive it without a clock.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace modbus {

// What a poll's outcome changed.
enum class BackOffChange { None, BackedOff, Back };

class SlaveBackOff
{
public:
    static constexpr int kFailuresToBackOff = 3;

    // everyCycles: how often a backed-off slave is still polled (1: always, no back-off).
    explicit SlaveBackOff(int everyCycles = 10);

    // Whether a request to slave goes in cycle (counted from 1). A backed-off slave gets one
    // request in each of its cycles: if it answers, the rest of its requests follow.
    bool polls(int slave, int cycle) const;
    // A poll of slave in cycle came to a reply (any reply: the slave is there) or to none.
    BackOffChange record(int slave, int cycle, bool answered);
    bool backedOff(int slave) const;
    std::vector<int> backedOffSlaves() const;
    int everyCycles() const { return everyCycles_; }

    // "slave 7 backed off: no reply 3 times running, polled once every 10 cycles", "slave 7
    // answers again: polled as before"; empty for no change.
    std::string text(int slave, BackOffChange change) const;

private:
    struct State
    {
        int silentPolls = 0; // no reply, running
        int since = 0; // the cycle it was backed off in; 0: it is not
        int probedIn = 0; // the last cycle it had its one request in while backed off
    };

    int everyCycles_;
    std::map<int, State> slaves_;
};

} // namespace modbus
