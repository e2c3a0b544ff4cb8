// A scan for a device whose address and line settings nobody wrote down: which settings and
// addresses to try in which order, how long a probe waits, how long the whole scan takes, and
// what each probe's frames say. Plain data, the time passed in; the CLI's loop and the monitor
// feed it.
#pragma once

#include "modbus/frame_analysis.h"
#include "modbus/request_fields.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace modbus {

struct ScanSetting
{
    int speed = 19200;
    char parity = 'e'; // 'n', 'e', 'o'
    int stopBits = 1;
    std::string name() const; // "19200 8E1", or "network" (speed 0) on a network link
    bool operator==(const ScanSetting&) const = default;
};

struct ScanOptions
{
    int firstAddress = 1;
    int lastAddress = 247;
    std::vector<int> speeds { 9600, 19200, 115200 };
    std::vector<char> parities { 'e', 'n' };
    std::vector<int> stopBits { 1 };
    std::optional<int> timeoutMs; // per probe; default by speed
    bool all = false; // false: stop at the first device found
    RequestFields probe; // default: read-holding 0 1
    // A network link: unit ids only, one setting with no speed, frames carried this way.
    std::optional<Framing> network;
    // How a serial line carries frames: RTU or ASCII at every setting tried.
    Framing lineFraming = Framing::Rtu;
};

// The settings in the order they are tried: the most common first (19200 8E1, 9600 8E1,
// 9600 8N1, 19200 8N1), then the rest in the order the options list them.
std::vector<ScanSetting> ScanOrder(const ScanOptions& options);

// How long a probe waits for its answer's first byte: 20 characters plus 50 ms, at least
// 100 ms; on a network (speed 0) 500 ms, for a gateway's own serial side; or the time asked for.
std::int64_t ProbeTimeoutUs(int speed, std::optional<int> timeoutMs);

// The whole scan's time if nothing answers: every probe's request on the line plus its wait.
std::int64_t ScanEstimateUs(const ScanOptions& options, std::size_t requestBytes);

enum class ProbeVerdict { Nothing, Found, BadFrames };

struct ProbeResult
{
    ProbeVerdict verdict = ProbeVerdict::Nothing;
    int address = 0; // who answered: the probed address, or the one a late reply came from
    std::string text; // the frame's verdict: "CRC OK", "exception 2 ILLEGAL DATA ADDRESS", ...
    std::optional<double> replyMs;
};

// What one probe's frame rows say (its own request row first). A good frame from another
// address is a late reply from a device found there.
ProbeResult JudgeProbe(const std::vector<FrameRow>& rows, int probed);

// Who a device says it is, from a good Read Device Identification reply ("VendorName Quillet,
// ProductCode QSIM, ...") or a Report Server ID reply ("server id ..."); empty when none.
std::string IdentificationText(std::string_view deviceIdReply);
std::string ServerIdText(std::string_view serverIdReply);

// "something answers at 9600 8N1 (bad frames): the speed or parity is probably near"
std::string BadFramesNote(const ScanSetting& setting);

} // namespace modbus
