#include "listen_command.h"

#include "cli_port.h"
#include "ctrl_c.h"
#include "wire_reader.h"

#include "listening/line_listener.h"
#include "listening/pcap_file.h"
#include "listening/speed_search.h"
#include "modbus/ascii_frame.h"
#include "modbus/number_format.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <limits>

namespace cli {
namespace {

    // The monotonic clock times silences and replies: a step of the wall clock cannot move
    // them. Rows show the time of day from the wall clock's reading at its zero, taken once.
    std::int64_t monoUs()
    {
        using namespace std::chrono;
        return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
    }

    std::int64_t wallAtMonoZeroUs()
    {
        using namespace std::chrono;
        static const std::int64_t offset
            = duration_cast<microseconds>(system_clock::now().time_since_epoch()).count()
            - monoUs();
        return offset;
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
        // As the line carried it: ASCII frames as their text.
        const std::string bytes
            = row.wire.empty() ? modbus::HexBytes(row.bytes) : modbus::AsciiText(row.wire);
        const std::string when = localTimeUs(row.time.monoUs + wallAtMonoZeroUs());
        if (o.json) {
            nlohmann::json j { { "time", when }, { "role", roleOf(row.kind) }, { "slave", slave },
                { "function", function }, { "bytes", bytes }, { "verdict", row.verdict } };
            if (row.replyMs)
                j["reply_ms"] = *row.replyMs;
            return j.dump() + "\n";
        }
        const char sep = o.csv ? ',' : '\t';
        std::string line = when;
        for (const std::string& cell : { roleOf(row.kind), std::to_string(slave),
                 std::to_string(function), bytes, row.verdict, ms })
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
                const modbus::ByteString record
                    = modbus::PcapRecord(row.bytes, row.time.monoUs + wallAtMonoZeroUs());
                pcap.write(record.data(), std::streamsize(record.size()));
            }
        }
        std::fflush(stdout);
        if (pcap.is_open())
            pcap.flush();
    }

    // A listener for the port's line: its characters timed where reads tell time.
    modbus::LineListener listenerFor(const Port& port)
    {
        const modbus::ExchangeTiming timing = port.timing(0, 0);
        return modbus::LineListener(
            timing.timed ? timing.characterUs : 0, port.interFrameUs(), port.framing());
    }

    // The common settings in turn, the scan's order, up to 1.5 s each (less once one is clearly
    // right); the one whose frames have good check bytes.
    std::optional<comm::LineSettings> findLine(const Options& o)
    {
        modbus::SpeedHunt hunt(modbus::ScanOrder({}), 1'500'000);
        do {
            const modbus::ScanSetting& s = hunt.current();
            Port port;
            if (port.open(o.port, { s.speed, s.parity, s.stopBits }).empty()) {
                hunt.begin(port.timing(0, 0).timed, monoUs());
                while (!CtrlCPressed() && hunt.read(port.read(100'000), monoUs())) { }
            }
            std::fprintf(stderr, "quillet-cli: %s\n", hunt.heardNow().text().c_str());
        } while (!CtrlCPressed() && hunt.next());
        const std::optional<modbus::ScanSetting> best = hunt.best();
        if (!best)
            return std::nullopt;
        std::fprintf(stderr, "quillet-cli: the line is at %s%s\n", best->name().c_str(),
            hunt.bestFraming() == modbus::Framing::Ascii ? " ASCII" : "");
        comm::LineSettings line { best->speed, best->parity, best->stopBits };
        line.framing = hunt.bestFraming();
        return line;
    }

} // namespace

// The framing listen's own --framing names, over the options before it. False when a capture
// was asked of an ASCII line, which has no link type to be written as.
static bool takeFraming(Options& o)
{
    if (!o.listen->framing.empty())
        o.line.framing
            = o.listen->framing == "ascii" ? modbus::Framing::Ascii : modbus::Framing::Rtu;
    if (o.listen->pcap.empty() || o.line.framing != modbus::Framing::Ascii)
        return true;
    std::fputs("quillet-cli: --pcap records RTU frames (Wireshark's link type 147); it has no "
               "link type for Modbus ASCII, so an ASCII line is not captured\n",
        stderr);
    return false;
}

// What must hold before listening: a serial line, a capture that can be written, the line's
// setting found when asked. -1 when all holds, else the exit status, the reason told.
static int prepare(Options& o, std::ofstream& pcap)
{
    if (comm::ParseLinkAddress(o.port).network()
        || comm::ParseLinkAddress(o.secondPort).network()) {
        std::fputs(
            "quillet-cli: listen hears a serial line; a network link has none to hear\n", stderr);
        return 2;
    }
    if (!takeFraming(o))
        return 2;
    if (!o.listen->pcap.empty()) {
        pcap.open(o.listen->pcap, std::ios::binary);
        const modbus::ByteString header = modbus::PcapHeader();
        if (!pcap.write(header.data(), std::streamsize(header.size()))) {
            std::fprintf(stderr, "quillet-cli: cannot write %s\n", o.listen->pcap.c_str());
            return 2;
        }
    }
    if (!o.listen->findSpeed)
        return -1;
    const std::optional<comm::LineSettings> line = findLine(o);
    if (!line)
        std::fputs("quillet-cli: no common setting heard a frame with good check bytes\n", stderr);
    o.line = line.value_or(o.line);
    return line ? -1 : 1;
}

// The port, and the other wire's when given, at the line's setting. Empty, or why not.
static std::string openPorts(const Options& o, Port& first, Port& second)
{
    if (const std::string why = first.open(o.port, o.line); !why.empty())
        return why;
    return o.secondPort.empty() ? std::string() : second.open(o.secondPort, o.line);
}

// Until the duration ends, Ctrl+C, or a port fails (returned): each chunk heard on either wire in
// the order of its time, the rows printed as they come.
static std::string hear(const Options& o, const std::vector<Port*>& ports,
    modbus::LineListener& listener, std::ofstream& pcap)
{
    const ListenOptions& lo = *o.listen;
    const std::int64_t end = lo.durationS ? monoUs() + std::int64_t(*lo.durationS * 1e6)
                                          : std::numeric_limits<std::int64_t>::max();
    WireReader reader(ports, monoUs);
    while (!CtrlCPressed() && monoUs() < end && reader.failure().empty()) {
        std::int64_t quietUs = 0;
        const auto wait = std::clamp<std::int64_t>(end - monoUs(), 0, 100'000);
        for (const WireReader::Chunk& chunk : reader.take(wait, quietUs))
            listener.read(chunk.bytes, chunk.atUs);
        listener.read({}, quietUs); // nothing more came until then
        print(listener.take(), lo, pcap);
    }
    return reader.failure();
}

int RunListen(const Options& options)
{
    Options o = options;
    CatchCtrlC();
    std::ofstream pcap;
    if (const int status = prepare(o, pcap); status >= 0)
        return status;
    Port first, second;
    if (const std::string why = openPorts(o, first, second); !why.empty()) {
        std::fprintf(stderr, "quillet-cli: %s\n", why.c_str());
        return 1;
    }
    modbus::LineListener listener = listenerFor(first);
    if (o.csv || o.listen->csv)
        std::fputs("time,role,slave,function,bytes,verdict,reply_ms\n", stdout);
    std::vector<Port*> ports { &first };
    if (!o.secondPort.empty())
        ports.push_back(&second);
    const std::string failure = hear(o, ports, listener, pcap);
    listener.finish(monoUs());
    print(listener.take(), *o.listen, pcap);
    std::fputs(listener.statistics().report().c_str(), stderr);
    if (!failure.empty())
        std::fprintf(stderr, "quillet-cli: %s\n", failure.c_str());
    return listener.statistics().allGood() && failure.empty() ? 0 : 1;
}

} // namespace cli
