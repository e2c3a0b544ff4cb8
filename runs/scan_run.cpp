#include "scan_run.h"

#include "modbus/device_identification.h"
#include "modbus/function_table.h"
#include "modbus/reply_details.h"
#include "requests/request_language.h"
#include "serial/line_timing.h"

#include <algorithm>

namespace modbus {

ScanRun::ScanRun(ScanOptions options, std::int64_t)
    : options_(std::move(options))
    , order_(ScanOrder(options_))
    , address_(std::max(options_.firstAddress, 1))
{
    // Address 0 is a broadcast: a read probe may not go there, and nothing would answer it.
    if (options_.firstAddress == 0)
        notes_.push_back("address 0 is a broadcast, which nobody answers: not probed");
    options_.firstAddress = address_;
    probes_ = long(order_.size()) * std::max(0, options_.lastAddress - options_.firstAddress + 1);
    resetLine();
    estimateUs_ = ScanEstimateUs(options_, BuildRequest(1, options_.probe).frame.size());
    stopped_ = probes_ == 0;
}

ScanRun::Need ScanRun::need() const
{
    if (stopped_ || std::size_t(settingAt_) >= order_.size())
        return Need::Done;
    if (!open_)
        return Need::Open;
    return exchange_ ? Need::Read : Need::Send;
}

void ScanRun::resetLine()
{
    line_ = FrameAnalyzer();
    if (options_.network)
        line_.setNetwork(*options_.network);
    else
        line_.setFraming(options_.lineFraming);
}

ByteString ScanRun::frame() const
{
    if (phase_ == Phase::Probe)
        return line_.wireOf(BuildRequest(address_, options_.probe).frame);
    const char* command = phase_ == Phase::DeviceId ? "device-id" : "server-id";
    return line_.wireOf(BuildRequest(hits_.back().address, ParseRequest(command).fields).frame);
}

std::int64_t ScanRun::readWaitUs(std::int64_t nowUs) const
{
    if (!exchange_)
        return 0;
    if (late_)
        return options_.network ? 0 : InterFrameUs(setting().speed);
    return exchange_->nextWaitUs(nowUs);
}

void ScanRun::opened(bool ok, bool timed)
{
    open_ = ok;
    timed_ = timed;
    if (!ok) {
        failure_ = "the port cannot be opened at " + setting().name();
        stopped_ = true;
    }
}

void ScanRun::sent(int written, LineTime at)
{
    // Identification waits as a probe does for its first byte; its longer reply then flows
    // within the byte time-out, at any speed.
    const ScanSetting& s = setting();
    const std::int64_t waitUs = ProbeTimeoutUs(s.speed, options_.timeoutMs);
    const ExchangeTiming timing = options_.network
        ? ExchangeTiming { waitUs, 100'000, 0, 100'000, false }
        : ExchangeTiming { waitUs, 100'000, CharacterUs(s.speed, s.parity, s.stopBits),
              SilenceUs(s.speed), timed_ };
    exchange_ = std::make_unique<Exchange>(line_, frame(), written, timing, at);
    late_ = false;
}

void ScanRun::read(const ByteString& chunk, LineTime at)
{
    if (!exchange_)
        return;
    exchange_->read(chunk, at);
    // After the exchange, one more read for the silence: late bytes are judged with this probe,
    // before the next one goes.
    if (!late_) {
        late_ = exchange_->done();
        return;
    }
    if (chunk.empty())
        finishExchange();
}

void ScanRun::finishExchange()
{
    if (phase_ == Phase::Probe) {
        judgeProbe();
        return;
    }
    // Both questions are asked: a device may answer either, and each tells something.
    std::string& id = hits_.back().identification;
    const std::string text = !exchange_->good() ? std::string()
        : phase_ == Phase::DeviceId             ? IdentificationText(exchange_->answer()->bytes)
                                                : ServerIdText(exchange_->answer()->bytes);
    id += (id.empty() || text.empty() ? "" : "; ") + text;
    if (phase_ == Phase::DeviceId) {
        phase_ = Phase::ServerId;
        exchange_.reset();
        return;
    }
    if (!options_.all)
        stopped_ = true;
    nextProbe();
}

void ScanRun::judgeProbe()
{
    ++probesDone_;
    const ProbeResult r = JudgeProbe(exchange_->rows(), address_);
    if (r.verdict == ProbeVerdict::BadFrames && !toldBad_) {
        toldBad_ = true;
        notes_.push_back(BadFramesNote(setting()));
    }
    if (r.verdict != ProbeVerdict::Found) {
        nextProbe();
        return;
    }
    hits_.push_back({ r.address, setting(), r.text, r.replyMs, {} });
    phase_ = Phase::DeviceId;
    exchange_.reset();
}

void ScanRun::nextProbe()
{
    exchange_.reset();
    phase_ = Phase::Probe;
    if (++address_ <= options_.lastAddress)
        return;
    address_ = options_.firstAddress;
    ++settingAt_;
    open_ = false; // the next setting opens the port anew
    resetLine();
    toldBad_ = false;
}

double ScanRun::fraction() const { return probes_ ? double(probesDone_) / double(probes_) : 1.0; }

std::int64_t ScanRun::remainingUs() const
{
    return std::int64_t(double(estimateUs_) * (1.0 - fraction()));
}

} // namespace modbus
