// A scan driven a step at a time, as the monitor drives it on the window's thread: it says what
// it needs next (open the port at a setting, send a frame, read), takes what came, and keeps
// what it found. Times are passed in.
#pragma once

#include "exchange/exchange.h"
#include "scan_plan.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace modbus {

struct ScanHit
{
    int address = 0;
    ScanSetting setting;
    std::string verdict;
    std::optional<double> replyMs;
    std::string identification;
};

class ScanRun
{
public:
    enum class Need { Open, Send, Read, Done };

    ScanRun(ScanOptions options, std::int64_t nowUs);

    Need need() const;
    const ScanSetting& setting() const { return order_[std::size_t(settingAt_)]; }
    int address() const { return address_; }
    ByteString frame() const; // what Send sends
    std::int64_t readWaitUs(std::int64_t nowUs) const;

    // timed: the port's reads follow the line's speed (not a pseudo-terminal), so a frame
    // complete sooner than a reply could be is none.
    void opened(bool ok, bool timed = false);
    void sent(int written, LineTime at);
    void read(const ByteString& chunk, LineTime at);
    void stop() { stopped_ = true; }

    const std::vector<ScanHit>& hits() const { return hits_; }
    // "something answers at ... (bad frames)", once a setting.
    const std::vector<std::string>& notes() const { return notes_; }
    std::string failure() const { return failure_; } // the port could not be opened
    // Asking the newest device found who it is: its hit is not complete yet.
    bool identifying() const { return phase_ != Phase::Probe; }
    double fraction() const; // 0..1 of the probes done
    std::int64_t remainingUs() const;

private:
    enum class Phase { Probe, DeviceId, ServerId };
    void resetLine();
    void finishExchange();
    void judgeProbe();
    void nextProbe();

    ScanOptions options_;
    std::vector<ScanSetting> order_;
    int settingAt_ = 0;
    int address_ = 0;
    bool open_ = false;
    bool timed_ = false; // the port's reads follow the line's speed
    bool stopped_ = false;
    bool late_ = false; // reading the silence after an exchange, for late bytes
    Phase phase_ = Phase::Probe;
    FrameAnalyzer line_; // anew at each setting
    std::unique_ptr<Exchange> exchange_;
    std::vector<ScanHit> hits_;
    std::vector<std::string> notes_;
    bool toldBad_ = false;
    std::string failure_;
    std::int64_t estimateUs_ = 0;
    long probes_ = 0, probesDone_ = 0;
};

} // namespace modbus
