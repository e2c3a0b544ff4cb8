// What a listener heard, slave by slave: requests, good replies, exceptions by code, bad check
// bytes, requests nobody answered, reply times, and the pace of the other master's polls.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace modbus {

struct SlaveHeard
{
    long requests = 0;
    long good = 0;
    long crcBad = 0;
    long noReply = 0;
    long mismatched = 0;
    std::map<int, long> exceptions; // by code
    std::vector<double> replyMs; // the first kKept reply times known
    std::int64_t firstUs = 0, lastUs = 0; // the first and the last request heard
    std::int64_t lastButOneUs = 0;
};

class ListenStatistics
{
public:
    static constexpr std::size_t kKept = 1 << 20;

    void request(int slave, std::int64_t atUs);
    // ms: the reply time, when it is known.
    void reply(int slave, std::optional<double> ms);
    void exception(int slave, int code, std::optional<double> ms);
    // A request heard as listening ended, its reply not yet due: not counted after all.
    void withdraw(int slave);
    void crcBad(int slave) { ++slaves_[slave].crcBad; }
    void noReply(int slave) { ++slaves_[slave].noReply; }
    void mismatched(int slave) { ++slaves_[slave].mismatched; }
    const std::map<int, SlaveHeard>& slaves() const { return slaves_; }
    // Whether every request heard had its good reply (and something was heard).
    bool allGood() const;
    // A line a slave: "slave 17: requests 120, good replies 118, exceptions 2 (code 2: 2), ...".
    std::string report() const;

private:
    std::map<int, SlaveHeard> slaves_;
};

} // namespace modbus
