#include "slave_faults.h"

#include "modbus/crc16.h"
#include "modbus/function_table.h"
#include "requests/request_language.h"

#include <algorithm>

namespace {

std::string withCrc(std::string body)
{
    const std::string crc = *modbus::CRC16(body);
    return body + crc;
}

// The register or coil a request starts at: a read's, else a write's of the values it carries.
std::optional<unsigned> startOf(const std::string& request)
{
    const auto* info
        = request.size() >= 6 ? modbus::FindFunction(modbus::ByteAt(request, 1)) : nullptr;
    if (info && (info->reads || modbus::PlainWrite(*info)))
        return modbus::WordAt(request, 2);
    return std::nullopt;
}

// "50" or "20-80", within 0..65535.
std::optional<std::pair<int, int>> rangeOf(std::string_view text)
{
    const std::size_t dash = text.find('-');
    const auto low = modbus::ParseInteger(text.substr(0, dash));
    const auto high = dash == text.npos ? low : modbus::ParseInteger(text.substr(dash + 1));
    if (!low || !high || *low < 0 || *high > 65535 || *low > *high)
        return std::nullopt;
    return std::pair(int(*low), int(*high));
}

void tell(FaultedReply& out, const std::string& what)
{
    out.note += (out.note.empty() ? "" : ", ") + what;
}

// The faults that spoil every Nth reply, in the order they apply; false when the reply is too
// short for one. The first spoil what the reply says (an RTU frame), the others the bytes on
// the wire.
struct Spoiler
{
    const char* kind;
    const char* note;
    bool (*spoil)(std::string& reply);
    bool onWire = false;
};

// The check of a frame on the wire made wrong: the CRC's last byte, or ASCII's LRC.
bool spoilCheck(std::string& wire)
{
    if (wire.size() >= 4 && wire.front() == ':' && wire.ends_with("\r\n")) {
        char& digit = wire[wire.size() - 3];
        digit = digit == '0' ? '1' : '0';
        return true;
    }
    return wire.back() ^= char(0xFF), true;
}
const Spoiler kSpoilers[] = {
    { "wrong-function", "wrong function",
        [](std::string& r) {
            if (r.size() <= 3)
                return false;
            r = withCrc(r.substr(0, 1) + char(r[1] ^ 0x01) + r.substr(2, r.size() - 4));
            return true;
        } },
    { "wrong-length", "wrong length",
        [](std::string& r) {
            if (r.size() <= 5)
                return false;
            r = withCrc(r.substr(0, r.size() - 3)); // a data byte short
            return true;
        } },
    { "bad-crc", "bad CRC", spoilCheck, true },
    { "half-frame", "half a frame", [](std::string& r) { return r.resize(r.size() / 2), true; },
        true },
    { "stray", "stray bytes", [](std::string& r) { return r.insert(0, "\xFF\x00", 2), true; },
        true },
};

} // namespace

std::string SlaveFaults::add(std::string_view fault)
{
    const std::size_t eq = fault.find('=');
    const std::string kind(fault.substr(0, eq));
    const std::string_view arg = eq == std::string_view::npos ? "" : fault.substr(eq + 1);
    if (kind == "ignore-writes" || kind == "echo") {
        (kind == "echo" ? echo_ : ignoreWrites_) = true;
        return arg.empty() ? "" : kind + " takes no value";
    }
    if (kind == "delay" || kind == "exception") {
        const auto range = rangeOf(arg.substr(0, arg.find('/')));
        if (!range)
            return kind + " takes N or MIN-MAX: " + std::string(fault);
        (kind == "delay" ? delayMin_ : exceptionFrom_) = range->first;
        (kind == "delay" ? delayMax_ : exceptionTo_) = range->second;
        if (const std::size_t slash = arg.find('/'); kind == "exception" && slash != arg.npos) {
            const auto code = modbus::ParseInteger(arg.substr(slash + 1));
            if (!code || *code < 1 || *code > 255)
                return "an exception's code is 1..255: " + std::string(fault);
            exceptionCode_ = int(*code);
        }
        return {};
    }
    const bool spoils
        = std::ranges::any_of(kSpoilers, [&](const Spoiler& s) { return kind == s.kind; });
    if (!spoils && kind != "no-reply")
        return "unknown fault: " + std::string(fault);
    const auto n = arg.empty() ? std::optional<std::int64_t>(1) : modbus::ParseInteger(arg);
    if (!n || *n < 1)
        return kind + " takes N, every Nth reply: " + std::string(fault);
    kinds_[kind].n = int(*n);
    return {};
}

std::string WireOf(const std::string& rtu, modbus::Framing framing)
{
    if (framing == modbus::Framing::Rtu || rtu.size() < 4)
        return rtu;
    return modbus::FramerOf(framing).wrap(std::string_view(rtu).substr(0, rtu.size() - 2));
}

FaultedReply SlaveFaults::apply(
    const std::string& request, std::string reply, std::mt19937& random, modbus::Framing framing)
{
    FaultedReply out;
    if (echo_) {
        out.bytes = WireOf(request, framing); // an adapter that hears itself
        tell(out, "echo");
    }
    if (reply.empty())
        return out;
    if (delayMax_ > 0) {
        out.delayMs = std::uniform_int_distribution<int>(delayMin_, delayMax_)(random);
        tell(out, "delay " + std::to_string(out.delayMs) + " ms");
    }
    if (const auto start = startOf(request);
        start && int(*start) >= exceptionFrom_ && int(*start) <= exceptionTo_) {
        reply
            = withCrc({ request[0], char(std::uint8_t(request[1]) | 0x80), char(exceptionCode_) });
        tell(out, "exception");
    }
    if (due("no-reply")) {
        tell(out, "no reply");
        return out;
    }
    out.bytes += spoiled(std::move(reply), out, framing);
    return out;
}

bool SlaveFaults::due(const char* kind)
{
    const auto it = kinds_.find(kind);
    return it != kinds_.end() && it->second.due();
}

std::string SlaveFaults::spoiled(std::string reply, FaultedReply& out, modbus::Framing framing)
{
    bool framed = false;
    for (const Spoiler& s : kSpoilers) {
        if (s.onWire && !framed) {
            reply = WireOf(reply, framing);
            framed = true;
        }
        if (due(s.kind) && s.spoil(reply))
            tell(out, s.note);
    }
    return reply;
}

std::string FaultPlan::add(std::string_view fault)
{
    const std::size_t colon = fault.find(':');
    int slave = 0;
    if (colon != std::string_view::npos) {
        const auto n = modbus::ParseInteger(fault.substr(0, colon));
        if (!n || *n < 1 || *n > 247)
            return "a fault's slave is 1..247: " + std::string(fault);
        slave = int(*n);
        fault.remove_prefix(colon + 1);
    }
    // Tried on its own first: a fault refused is told at once, and nothing of it is kept.
    if (std::string why = SlaveFaults().add(fault); !why.empty())
        return why;
    said_[slave].emplace_back(fault);
    slaves_.clear(); // made anew from what is said
    return {};
}

std::string FaultPlan::addFile(std::string_view text)
{
    int number = 0;
    for (std::size_t from = 0; from < text.size();) {
        const std::size_t end = std::min(text.find('\n', from), text.size());
        std::string line(text.substr(from, end - from));
        from = end + 1;
        ++number;
        line = line.substr(0, line.find('#'));
        line.erase(0, line.find_first_not_of(" \t\r"));
        line.erase(line.find_last_not_of(" \t\r") + 1);
        if (line.empty())
            continue;
        if (std::string why = add(line); !why.empty())
            return "line " + std::to_string(number) + ": " + why;
    }
    return {};
}

SlaveFaults* FaultPlan::of(int slave)
{
    if (const auto it = slaves_.find(slave); it != slaves_.end())
        return &it->second;
    const auto all = said_.find(0);
    const auto own = slave == 0 ? said_.end() : said_.find(slave);
    if (all == said_.end() && own == said_.end())
        return nullptr;
    // Those for every slave first, its own after: where both set a fault, its own rules.
    SlaveFaults& made = slaves_[slave];
    for (const auto& said : { all, own })
        if (said != said_.end())
            for (const std::string& fault : said->second)
                made.add(fault);
    return &made;
}
