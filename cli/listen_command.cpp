#include "listen_command.h"

#include "cli_port.h"

#include "listening/line_listener.h"
#include "listening/pcap_file.h"
#include "modbus/number_format.h"

#include <nlohmann/json.hpp>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <limits>

namespace cli {
namespace {

    volatile std::sig_atomic_t interrupted = 0;
    void interrupt(int) { interrupted = 1; }

    std::int64_t epochUs()
    {
        using namespace std::chrono;
        return duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
    }

    // "2026-12-08T07:41:00.123456", local time.
    std::string localTimeUs(std::int64_t us)
    {
        const std::time_t seconds = std::time_t(us / 1'000'000);
        std::tm local {};
#ifdef _WIN32
        localtime_s(&local, &seconds);
#else
        localtime_r(&seconds, &local);
#endif
        char text[40];
        const std::size_t n = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
        std::snprintf(text + n, sizeof text - n, ".%06lld", static_cast<long long>(us % 1'000'000));
        return text;
    }

    std::string roleOf(modbus::RowKind kind)
    {
        switch (kind) {
        case modbus::RowKind::Request:
            return "request";
        case modbus::RowKind::NoReply:
            return "-";
        case modbus::RowKind::NotFrame:
            return "noise";
        default:
            return "reply";
        }
    }

    std::string lineOf(const modbus::FrameRow& row, const ListenOptions& o)
    {
        const std::string& heard = row.bytes.empty() ? row.request : row.bytes;
        const int slave = heard.empty() ? -1 : modbus::ByteAt(heard, 0);
        const int function = heard.size() < 2 ? -1 : modbus::ByteAt(heard, 1) & 0x7F;
        const std::string ms = row.replyMs ? modbus::FloatText(*row.replyMs, 4) : "";
        const std::string when = localTimeUs(row.time.monoUs);
        if (o.json) {
            nlohmann::json j { { "time", when }, { "role", roleOf(row.kind) }, { "slave", slave },
                { "function", function }, { "bytes", modbus::HexBytes(row.bytes) },
                { "verdict", row.verdict } };
            if (row.replyMs)
                j["reply_ms"] = *row.replyMs;
            return j.dump() + "\n";
        }
        const char sep = o.csv ? ',' : '\t';
        std::string line = when;
        for (const std::string& cell : { roleOf(row.kind), std::to_string(slave),
                 std::to_string(function), modbus::HexBytes(row.bytes), row.verdict, ms })
            line.append(1, sep).append(
                o.csv && cell.find(',') != std::string::npos ? "\"" + cell + "\"" : cell);
        return line + "\n";
    }

    void print(
        const std::vector<modbus::FrameRow>& rows, const ListenOptions& o, std::ofstream& pcap)
    {
        for (const modbus::FrameRow& row : rows) {
            std::fputs(lineOf(row, o).c_str(), stdout);
            const bool frame = row.kind != modbus::RowKind::NotFrame && !row.bytes.empty();
            if (pcap.is_open() && frame) {
                const modbus::ByteString record = modbus::PcapRecord(row.bytes, row.time.monoUs);
                pcap.write(record.data(), std::streamsize(record.size()));
            }
        }
        std::fflush(stdout);
        if (pcap.is_open())
            pcap.flush();
    }

} // namespace

int RunListen(const Options& o)
{
    const ListenOptions& lo = *o.listen;
    std::ofstream pcap;
    if (!lo.pcap.empty()) {
        pcap.open(lo.pcap, std::ios::binary);
        const modbus::ByteString header = modbus::PcapHeader();
        if (!pcap.write(header.data(), std::streamsize(header.size()))) {
            std::fprintf(stderr, "quillet-cli: cannot write %s\n", lo.pcap.c_str());
            return 2;
        }
    }
    Port port;
    if (const std::string why = port.open(o.port, o.line); !why.empty()) {
        std::fprintf(stderr, "quillet-cli: %s\n", why.c_str());
        return 1;
    }
    if (port.address().network()) {
        std::fputs(
            "quillet-cli: listen hears a serial line; a network link has none to hear\n", stderr);
        return 2;
    }
    const modbus::ExchangeTiming timing = port.timing(0, 0);
    modbus::LineListener listener(timing.timed ? timing.characterUs : 0, port.interFrameUs());
    std::signal(SIGINT, interrupt);
    const std::int64_t end = lo.durationS ? epochUs() + std::int64_t(*lo.durationS * 1e6)
                                          : std::numeric_limits<std::int64_t>::max();
    if (o.csv || lo.csv)
        std::fputs("time,role,slave,function,bytes,verdict,reply_ms\n", stdout);
    while (!interrupted && epochUs() < end && port.failure().empty()) {
        const modbus::ByteString chunk
            = port.read(std::min<std::int64_t>(100'000, end - epochUs()));
        listener.read(chunk, epochUs()); // stamped as the read returned
        print(listener.take(), lo, pcap);
    }
    listener.finish(epochUs());
    print(listener.take(), lo, pcap);
    std::fputs(listener.statistics().report().c_str(), stderr);
    if (!port.failure().empty())
        std::fprintf(stderr, "quillet-cli: %s\n", port.failure().c_str());
    return listener.statistics().allGood() && port.failure().empty() ? 0 : 1;
}

} // namespace cli
