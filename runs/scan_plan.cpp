#include "scan_plan.h"

#include "modbus/device_identification.h"
#include "modbus/reply_details.h"

#include <algorithm>

namespace modbus {

std::string ScanSetting::name() const
{
    if (speed == 0)
        return "network";
    const char p = parity == 'e' ? 'E' : parity == 'o' ? 'O' : 'N';
    return std::to_string(speed) + " 8" + p + std::to_string(stopBits);
}

std::vector<ScanSetting> ScanOrder(const ScanOptions& o)
{
    if (o.network)
        return { { 0, 'n', 1 } }; // a network has no line settings to try
    std::vector<ScanSetting> all;
    for (const int speed : o.speeds)
        for (const char parity : o.parities)
            for (const int stop : o.stopBits)
                all.push_back({ speed, parity, stop });
    // Where most devices are: the Modbus default 8E1 first, at the two commonest speeds.
    const ScanSetting common[]
        = { { 19200, 'e', 1 }, { 9600, 'e', 1 }, { 9600, 'n', 1 }, { 19200, 'n', 1 } };
    std::vector<ScanSetting> order;
    for (const ScanSetting& s : common)
        if (std::ranges::find(all, s) != all.end())
            order.push_back(s);
    for (const ScanSetting& s : all)
        if (std::ranges::find(order, s) == order.end())
            order.push_back(s);
    return order;
}

std::int64_t ProbeTimeoutUs(int speed, std::optional<int> timeoutMs)
{
    if (timeoutMs)
        return std::int64_t(*timeoutMs) * 1000;
    if (speed == 0)
        return 500'000;
    // Slower lines need the time for 20 characters of 11 bits more, never less than 100 ms.
    return std::max<std::int64_t>(100'000, 20 * 11'000'000LL / std::max(speed, 1) + 50'000);
}

std::int64_t ScanEstimateUs(const ScanOptions& o, std::size_t requestBytes)
{
    const std::int64_t addresses = std::max(0, o.lastAddress - o.firstAddress + 1);
    std::int64_t total = 0;
    for (const ScanSetting& s : ScanOrder(o))
        total += addresses
            * ((s.speed ? std::int64_t(requestBytes) * 11'000'000LL / s.speed : 0)
                + ProbeTimeoutUs(s.speed, o.timeoutMs));
    return total;
}

ProbeResult JudgeProbe(const std::vector<FrameRow>& rows, int probed)
{
    ProbeResult result;
    for (const FrameRow& row : rows) {
        const bool good = row.kind == RowKind::Reply || row.kind == RowKind::Exception
            || row.kind == RowKind::OtherAddress || row.kind == RowKind::Mismatch
            || row.kind == RowKind::Late;
        if (good && !row.bytes.empty()) {
            // Any good frame is a device, an exception included: it is there.
            return { ProbeVerdict::Found, ByteAt(row.bytes, 0), row.verdict, row.replyMs };
        }
        if (row.kind == RowKind::CrcBad || row.kind == RowKind::NotFrame)
            result = { ProbeVerdict::BadFrames, probed, row.verdict, std::nullopt };
    }
    return result;
}

std::string IdentificationText(std::string_view deviceIdReply)
{
    const auto parsed = ParseDeviceId(deviceIdReply);
    std::string text;
    if (parsed)
        for (const DeviceObject& o : parsed->objects)
            text += (text.empty() ? "" : ", ") + DeviceObjectName(o.id) + " "
                + details::Printable(o.value);
    return text;
}

std::string ServerIdText(std::string_view serverIdReply)
{
    if (serverIdReply.size() < 5)
        return {};
    return "server id " + details::Printable(serverIdReply.substr(3, serverIdReply.size() - 5));
}

std::string BadFramesNote(const ScanSetting& setting)
{
    return "something answers at " + setting.name()
        + " (bad frames): the speed or parity is probably near";
}

} // namespace modbus
