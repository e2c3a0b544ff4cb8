#include "cli_port.h"

#include "exchange/echo_probe.h"
#include "modbus/function_table.h"
#include "serial/win32/device_gone.h"
#include "serial/win32/error_words.h"
#include "serial/win32_comm.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace cli {
namespace {

    modbus::LineTime now()
    {
        using namespace std::chrono;
        return { duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count(), 0 };
    }

} // namespace

std::string Port::open(
    const std::string& name, const comm::LineSettings& line, std::int64_t connectUs)
{
    line_ = line;
    address_ = comm::ParseLinkAddress(name);
    if (!address_.error.empty())
        return address_.error;
    if (address_.network())
        return net_.open(address_, connectUs);
    // Writes wait a second at most, and 1 ms a byte more (the constant must not be 0).
    const comm::SerialLink::Failure failure
        = link_.open(name, { comm::kMaxDword, comm::kMaxDword, 1000, 1, 1000 }, line.modeText());
    const std::string words = ": " + comm::CommErrorWords(failure.code);
    switch (failure.step) {
    case comm::SerialLink::Step::None:
        return {};
    case comm::SerialLink::Step::Open:
        return "cannot open " + name + words;
    default:
        return "cannot set " + name + " to " + line.shortForm() + words;
    }
}

void Port::refused(const char* what)
{
    const comm::Dword code = comm::GetLastError();
    failure_ = (comm::MeansDeviceGone(code) ? "device gone: " : "") + std::string(what)
        + " failed: " + comm::CommErrorWords(code);
}

std::string Port::linkName() const
{
    return address_.network() ? address_.text : line_.shortForm();
}

modbus::ExchangeTiming Port::timing(std::int64_t responseUs, std::int64_t byteUs) const
{
    // A network has no characters to time and no meaningful silence: frames end by length,
    // and one the table cannot measure ends when its bytes stop for the byte time-out.
    if (address_.network())
        return { responseUs, byteUs, 0, byteUs, false };
    return { responseUs, byteUs, link_.characterUs(), link_.silenceUs(), link_.timed() };
}

std::int64_t Port::interFrameUs() const
{
    return address_.network() || line_.framing != modbus::Framing::Rtu ? 0 : link_.interFrameUs();
}

modbus::Framing Port::framing() const
{
    return address_.network() ? comm::FramingOf(address_.kind) : line_.framing;
}

void Port::awaitLink()
{
    // A server gone is tried again at most once a second: the run waits for that rather than
    // spinning through requests that cannot go, and connects before its request's time starts.
    if (!address_.network())
        return;
    if (const std::int64_t waitUs = net_.retryInUs(); waitUs > 0)
        std::this_thread::sleep_for(std::chrono::microseconds(waitUs));
    net_.reconnectNow();
}

int Port::write(const modbus::ByteString& bytes)
{
    using namespace comm;
    if (address_.network())
        return net_.write(bytes);
    if (!failure_.empty())
        return 0;
    const CommTimeouts timeouts { kMaxDword, kMaxDword, 1000, 1, 1000 };
    SetCommTimeouts(link_.handle(), &timeouts);
    Dword written = 0;
    if (!WriteFile(link_.handle(), bytes.data(), Dword(bytes.size()), &written, nullptr))
        refused("the write");
    return int(written);
}

modbus::ByteString Port::read(std::int64_t waitUs)
{
    using namespace comm;
    if (address_.network())
        return net_.read(waitUs);
    if (!failure_.empty())
        return {};
    // Win32's "return as soon as bytes arrive": interval and multiplier kMaxDword, the wait
    // for the first byte as the total constant (which must not be 0); a wait of 0 returns at
    // once with what is there.
    const Dword waitMs = Dword(std::clamp<std::int64_t>((waitUs + 999) / 1000, 0, 0x7FFFFFFF));
    const CommTimeouts timeouts = waitMs == 0
        ? CommTimeouts { kMaxDword, 0, 0, 1, 1000 }
        : CommTimeouts { kMaxDword, kMaxDword, waitMs, 1, 1000 };
    SetCommTimeouts(link_.handle(), &timeouts);
    char buffer[256];
    Dword count = 0;
    if (!ReadFile(link_.handle(), buffer, sizeof buffer, &count, nullptr))
        refused("the read");
    return modbus::ByteString(buffer, count);
}

Link::Link(Port& port, const LinkSettings& settings)
    : port_(port)
    , turnaroundUs_(settings.turnaroundUs)
    , timing_(port.timing(settings.responseUs, settings.byteUs))
    , line_(port.linkName())
    // Transaction ids tell late replies apart on MBAP links: no grace is needed there.
    , gate_(port.interFrameUs(),
          port.framing() == modbus::Framing::Rtu || port.framing() == modbus::Framing::Ascii
              ? settings.graceUs
              : 0)
{
    if (port.address().network())
        line_.setNetwork(port.framing());
    else
        line_.setFraming(port.framing());
    line_.setEcho(settings.echo);
}

void Link::holdLine(const modbus::ByteString& frame)
{
    // What arrives meanwhile came after the last exchange ended: the analysis judges it against
    // that request. Bounded: a line that never stops talking still gets its request.
    for (int reads = 0; reads < 16;) {
        const std::int64_t hold = gate_.holdUs(frame, now().monoUs);
        if (hold <= 0 && reads > 0)
            return;
        const modbus::ByteString waiting = port_.read(hold);
        const modbus::LineTime at = now();
        if (waiting.empty() && hold <= 0)
            return;
        if (waiting.empty())
            continue;
        ++reads;
        line_.readAway(waiting, at);
        gate_.heard(at.monoUs);
    }
}

bool Link::needsEchoProbe(const modbus::ByteString& frame) const
{
    // Only a serial line in auto, before a write whose reply is a copy, and only until known.
    return !port_.address().network() && line_.echo() == modbus::EchoMode::Auto
        && !line_.echoHeard() && frame.size() >= 4 && modbus::ByteAt(frame, 0) != 0
        && modbus::ReplyCopiesRequest(frame);
}

void Link::findEcho()
{
    const modbus::ByteString probe = line_.wireOf(modbus::EchoProbeFrame());
    const modbus::LineTime sentAt = now();
    if (port_.write(probe) != int(probe.size()))
        return; // told by the request's own write
    modbus::EchoProbe heard(sentAt.monoUs, timing_.timed ? timing_.characterUs : 0, probe);
    while (!heard.done() && port_.failure().empty())
        heard.read(port_.read(heard.nextWaitUs(now().monoUs)), now().monoUs);
    const modbus::LineTime at = now();
    if (!heard.others().empty())
        line_.readAway(heard.others(), at);
    // A port that failed, or bytes that were not the probe, tell nothing: the write's own
    // verdict says what it can.
    if (heard.heard() || heard.silent())
        line_.learnEcho(
            heard.heard(), at, heard.heard() ? modbus::kHearsItself : modbus::kDoesNotHearItself);
    // A whole silence after it, not just the standard's 3.5 characters: a slave that measures
    // the gap coarsely must not take the probe and the request for one frame.
    gate_.heard(
        std::max(at.monoUs, sentAt.monoUs + std::int64_t(probe.size()) * timing_.characterUs)
        + timing_.silenceUs);
}

bool Link::tellNews()
{
    bool ended = false;
    const std::string news = port_.takeNews(&ended);
    std::size_t from = 0;
    for (std::size_t end = 0; from < news.size(); from = end + 1) {
        end = std::min(news.find('\n', from), news.size());
        line_.note(news.substr(from, end - from), now(), ended);
    }
    return !news.empty();
}

modbus::Exchange Link::transact(const modbus::ByteString& frame)
{
    holdLine(frame);
    if (needsEchoProbe(frame)) {
        findEcho();
        holdLine(frame);
    }
    const modbus::ByteString wire = line_.wireOf(frame);
    port_.awaitLink(); // the time-out runs from the write, not from a wait to reconnect
    const modbus::LineTime sentAt = now();
    gate_.sending(frame, sentAt.monoUs);
    const int written = port_.write(wire);
    tellNews(); // a connection made again, or not, is told before the request
    modbus::Exchange exchange(line_, wire, written, timing_, sentAt, port_.down());
    while (!exchange.done() && port_.failure().empty()) {
        const modbus::ByteString chunk = port_.read(exchange.nextWaitUs(now().monoUs));
        exchange.read(chunk, now()); // the time after the read: when the bytes were there
    }
    // What the link learnt while waiting (a datagram refused, a hang-up) is this exchange's;
    // an exchange without news is left as it ended.
    if (tellNews())
        exchange.read({}, now());
    std::int64_t quietFrom
        = std::max(now().monoUs, sentAt.monoUs + std::int64_t(wire.size()) * timing_.characterUs);
    const modbus::Outcome outcome = exchange.outcome();
    if (outcome == modbus::Outcome::Broadcast)
        quietFrom += turnaroundUs_ - port_.interFrameUs(); // the slaves act on it first
    gate_.ended(frame, modbus::MayStillBeAnswered(outcome), quietFrom);
    return exchange;
}

} // namespace cli
