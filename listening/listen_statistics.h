// What a listener heard, slave by slave: requests, good replies, exceptions by code, bad check
// bytes, requests nobody answered, reply times, and the pace of the other master's polls.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
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

    // checkName: what the line's frames carry, as its verdicts say it ("CRC", "LRC").
    explicit ListenStatistics(std::string checkName = "CRC")
        : checkName_(std::move(checkName))
    { }

    void request(int slave, std::int64_t atUs);
    // ms: the reply time, when it is known.
    void reply(int slave, std::optional<double> ms);
    void exception(int slave, int code, std::optional<double> ms);
    // A request heard as listening ended, its reply not yet due: not counted after all.
    void withdraw(int slave);
    // Bad check bytes: the slave's own when it was asked before; else noise (a line heard at
    // the wrong setting, or cut mid-frame), which no slave is made up for.
    void crcBad(int slave);
    void noReply(int slave) { ++slaves_[slave].noReply; }
    void mismatched(int slave) { ++slaves_[slave].mismatched; }
    const std::map<int, SlaveHeard>& slaves() const { return slaves_; }
    // Frames with bad check bytes from slaves never asked.
    long unasked() const { return unasked_; }
    const std::string& checkName() const { return checkName_; }
    // Whether every request heard had its good reply (and something was heard).
    bool allGood() const;
    // A line a slave: "slave 17: requests 120, good replies 118, exceptions 2 (code 2: 2), ...".
    std::string report() const;

private:
    std::string checkName_;
    std::map<int, SlaveHeard> slaves_;
    long unasked_ = 0;
};

} // namespace modbus
