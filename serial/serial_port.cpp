#include "serial_port.h"

#include "network_link.h"
#include "open_hint.h"
#include "pseudo_terminal.h"
#include "serial_link.h"
#include "win32/device_gone.h"
#include "win32_comm.h"

#include <algorithm>
#include <cstring>

namespace SerialPort {
namespace {

    using namespace comm;

    // Made once and never destroyed: a module-wide port has no owner to close it at exit, and
    // the process's end closes it, as it always did.
    SerialLink& link()
    {
        static SerialLink* const made = new SerialLink;
        return *made;
    }
    NetworkLink& net()
    {
        static NetworkLink* const made = new NetworkLink;
        return *made;
    }
    bool onNetwork = false; // the open link is net(), not link()
    int connectMs = 1000;

    // Every transfer uses at most 255 of these bytes.
    unsigned char IoBuffer[256];
    constexpr Dword kPiece = 255;

    constexpr CommTimeouts kTimeouts = {
        20, // ReadIntervalTimeout: a reply ends after 20 ms without a byte
        1, // ReadTotalTimeoutMultiplier
        1, // ReadTotalTimeoutConstant: an idle read of 255 bytes waits 256 ms
        1, // WriteTotalTimeoutMultiplier
        10, // WriteTotalTimeoutConstant
    };

    bool gone = false;
    int idleReadLimit = 0; // ms; 0: the designed time-outs

    // What the user is told about a failed step of Open, with the platform's code.
    std::string stepText(SerialLink::Step step, const std::string& port, const std::string& mode)
    {
        switch (step) {
        case SerialLink::Step::Timeouts:
            return "Unable to set timeouts for port " + port;
        case SerialLink::Step::Build:
            return "Unable to build Comm DCB " + mode;
        default:
            return "Unable to set Comm DCB " + mode;
        }
    }

    // A failed read or write of an open port may mean its device went away. Once seen, the
    // loss stands until Close or Open: a later empty read must not forget it.
    void noteFailure(Bool ok)
    {
        if (!ok && link().isOpen() && MeansDeviceGone(GetLastError()))
            gone = true;
    }

    int writePiece(const char* data, Dword length)
    {
        std::memcpy(IoBuffer, data, length);
        Dword written = 0;
        noteFailure(WriteFile(link().handle(), IoBuffer, length, &written, nullptr));
        return static_cast<int>(written);
    }

    constexpr std::int64_t kReconnectWaitUs = 20'000;

    bool openNetwork(const LinkAddress& address, const ReportHook& report)
    {
        std::string why = address.error;
        // The window has one thread: a connection made again waits no longer than a read
        // does, and a connect that takes longer goes on between requests.
        net().setReconnectWaitUs(kReconnectWaitUs);
        if (why.empty())
            why = net().open(address, connectMs * 1000LL);
        onNetwork = why.empty();
        if (!onNetwork && report)
            report("Unable to open port " + address.text + ": " + why);
        return onNetwork;
    }

    // The designed read over a network: up to 256 ms (or the idle limit) for the first bytes,
    // then until 20 ms pass without more, as the serial read's interval time-out ends a reply.
    // A Modbus UDP datagram is a frame by itself: joined to the next it would be none.
    modbus::ByteString readNetwork()
    {
        modbus::ByteString got = net().read((idleReadLimit > 0 ? idleReadLimit : 256) * 1000LL);
        if (FramingOf(net().address().kind) == modbus::Framing::MbapDatagram)
            return got;
        while (!got.empty() && got.size() < kPiece) {
            const modbus::ByteString more = net().read(20'000);
            if (more.empty())
                break;
            got += more;
        }
        return got;
    }

} // namespace

bool OpenPort(const std::string& sPort, const std::string& sSettings, const ReportHook& report)
{
    gone = false;
    idleReadLimit = 0;
    ClosePort();
    // A link text that cannot be used (an unknown scheme too) is told as a network's refusal.
    if (const LinkAddress address = ParseLinkAddress(sPort);
        address.network() || !address.error.empty())
        return openNetwork(address, report);
    const SerialLink::Failure failure = link().open(sPort, kTimeouts, sSettings);
    if (failure.step == SerialLink::Step::None)
        return true;
    // Saying nothing here would leave the user with an open-looking window and a dead port.
    const std::string code = " Error: " + std::to_string(static_cast<std::int32_t>(failure.code));
    if (failure.step == SerialLink::Step::Open) {
        const std::string hint = OpenFailureHint();
        if (report)
            report("Unable to open port " + sPort + code + (hint.empty() ? "" : "\n\n" + hint));
        return false;
    }
    if (report)
        report(stepText(failure.step, sPort, sSettings) + code);
    return false;
}

void ClosePort()
{
    // The old handle must not reach anything again, whatever was opened since.
    link().close();
    net().close();
    onNetwork = false;
    gone = false;
}

void FlushPort()
{
    if (!onNetwork)
        FlushFileBuffers(link().handle());
}

modbus::ByteString ReadPort()
{
    if (onNetwork)
        return readNetwork();
    Dword count = 0;
    const Bool ok = ReadFile(link().handle(), IoBuffer, kPiece, &count, nullptr);
    noteFailure(ok);
    if (count > 0)
        return modbus::ByteString(reinterpret_cast<const char*>(IoBuffer), count);
    FlushPort();
    return {};
}

int WritePort(const modbus::ByteString& sData)
{
    if (onNetwork)
        return net().write(sData);
    // An empty text still makes one platform write, of 0 bytes, as designed: "&Send Txt" with
    // an empty box reaches the port like any other text, and its count says 0.
    if (sData.size() <= kPiece)
        return writePiece(sData.data(), static_cast<Dword>(sData.size()));
    int total = 0;
    for (std::size_t at = 0; at < sData.size(); at += kPiece) {
        const Dword length = static_cast<Dword>(std::min<std::size_t>(kPiece, sData.size() - at));
        const int written = writePiece(sData.data() + at, length);
        total += written;
        if (written < static_cast<int>(length))
            break;
    }
    return total;
}

void SetListenReads(bool on)
{
    if (onNetwork || !link().isOpen())
        return;
    idleReadLimit = -1; // neither the designed time-outs nor an idle limit now
    // Win32's "return as soon as bytes arrive", the first waited for up to 20 ms.
    constexpr CommTimeouts kListen = { kMaxDword, kMaxDword, 20, 1, 10 };
    SetCommTimeouts(link().handle(), on ? &kListen : &kTimeouts);
    if (!on)
        idleReadLimit = 0;
}

void SetIdleReadLimit(int ms)
{
    if (onNetwork) {
        idleReadLimit = ms; // a network read waits by it directly
        return;
    }
    if (ms == idleReadLimit || !link().isOpen())
        return;
    idleReadLimit = ms;
    CommTimeouts timeouts = kTimeouts;
    if (ms > 0) {
        timeouts.ReadTotalTimeoutMultiplier = 0;
        timeouts.ReadTotalTimeoutConstant = Dword(ms);
    }
    SetCommTimeouts(link().handle(), &timeouts);
}

bool IsPseudoTerminal() { return !onNetwork && comm::IsPseudoTerminal(link().handle()); }

std::optional<modbus::Framing> NetworkFraming()
{
    return onNetwork ? std::optional(FramingOf(net().address().kind)) : std::nullopt;
}

void SetConnectTimeoutMs(int ms) { connectMs = std::max(ms, 1); }

std::string TakeNews(bool* ended) { return net().takeNews(ended); }

std::string LinkDown() { return onNetwork ? net().down() : std::string(); }

bool PortGone() { return gone; }

} // namespace SerialPort
