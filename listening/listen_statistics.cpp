#include "listen_statistics.h"

#include "modbus/number_format.h"

#include <algorithm>
#include <utility>

namespace modbus {
namespace {

    std::string percentileText(std::vector<double> times, double fraction)
    {
        std::sort(times.begin(), times.end());
        const auto at = std::size_t(fraction * double(times.size() - 1) + 0.5);
        return FloatText(times[std::min(at, times.size() - 1)], 4) + " ms";
    }

    std::string exceptionsText(const std::map<int, long>& exceptions)
    {
        long all = 0;
        std::string codes;
        for (const auto& [code, count] : exceptions) {
            all += count;
            codes += (codes.empty() ? "" : ", ") + ("code " + std::to_string(code)) + ": "
                + std::to_string(count);
        }
        return "exceptions " + std::to_string(all) + (codes.empty() ? "" : " (" + codes + ")");
    }

    std::string slaveLine(int slave, const SlaveHeard& s, const std::string& check)
    {
        std::string line = "slave " + std::to_string(slave) + ": requests "
            + std::to_string(s.requests) + ", good replies " + std::to_string(s.good) + ", "
            + exceptionsText(s.exceptions) + ", " + check + " BAD " + std::to_string(s.crcBad)
            + ", no reply " + std::to_string(s.noReply) + ", wrong reply "
            + std::to_string(s.mismatched);
        if (!s.replyMs.empty())
            line += ", reply time median " + percentileText(s.replyMs, 0.5) + ", p95 "
                + percentileText(s.replyMs, 0.95) + ", max "
                + FloatText(*std::max_element(s.replyMs.begin(), s.replyMs.end()), 4) + " ms";
        if (s.requests > 1 && s.lastUs > s.firstUs)
            line += ", " + FloatText(double(s.requests - 1) * 1e6 / double(s.lastUs - s.firstUs), 4)
                + " polls a second";
        return line + "\n";
    }

} // namespace

void ListenStatistics::request(int slave, std::int64_t atUs)
{
    SlaveHeard& s = slaves_[slave];
    if (s.requests++ == 0)
        s.firstUs = atUs;
    s.lastButOneUs = std::exchange(s.lastUs, atUs);
}

void ListenStatistics::withdraw(int slave)
{
    const auto s = slaves_.find(slave);
    if (s == slaves_.end())
        return;
    SlaveHeard& heard = s->second;
    heard.lastUs = heard.lastButOneUs;
    if (--heard.requests == 0 && heard.crcBad == 0 && heard.mismatched == 0)
        slaves_.erase(s); // heard once, cut off: nothing to tell of it
}

void ListenStatistics::crcBad(int slave)
{
    const auto s = slaves_.find(slave);
    if (s != slaves_.end())
        ++s->second.crcBad;
    else
        ++unasked_;
}

void ListenStatistics::reply(int slave, std::optional<double> ms)
{
    SlaveHeard& s = slaves_[slave];
    ++s.good;
    if (ms && s.replyMs.size() < kKept)
        s.replyMs.push_back(*ms);
}

void ListenStatistics::exception(int slave, int code, std::optional<double> ms)
{
    SlaveHeard& s = slaves_[slave];
    ++s.exceptions[code];
    if (ms && s.replyMs.size() < kKept)
        s.replyMs.push_back(*ms);
}

bool ListenStatistics::allGood() const
{
    return !slaves_.empty() && unasked_ == 0
        && std::all_of(slaves_.begin(), slaves_.end(), [](const auto& s) {
               const bool broadcasts = s.first == 0; // nobody answers them
               return (broadcasts || s.second.good == s.second.requests) && s.second.crcBad == 0;
           });
}

std::string ListenStatistics::report() const
{
    std::string text;
    for (const auto& [slave, heard] : slaves_)
        text += slaveLine(slave, heard, checkName_);
    if (unasked_ > 0)
        text += "noise: " + std::to_string(unasked_) + " frame" + (unasked_ == 1 ? "" : "s")
            + " with bad check bytes from slaves never asked\n";
    return text.empty() ? "nothing heard\n" : text;
}

} // namespace modbus
