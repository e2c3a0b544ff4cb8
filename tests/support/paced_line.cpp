#include "paced_line.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <utility>

namespace bench {
namespace {

    void makeRaw(int fd)
    {
        termios tio {};
        tcgetattr(fd, &tio);
        cfmakeraw(&tio);
        tcsetattr(fd, TCSANOW, &tio);
    }

} // namespace

PacedLine::PacedLine(const std::string& farPath, int bitsPerSecond, bool garble, LineFaults faults)
    : byteTime_(std::chrono::nanoseconds(10'000'000'000LL / bitsPerSecond))
    , garble_(garble)
    , faults_(faults)
{
    char name[128] = {};
    if (openpty(&master_, &client_, name, nullptr, nullptr) != 0)
        return;
    makeRaw(client_);
    path_ = name;
    char tapName[128] = {};
    if (openpty(&tap_, &tapClient_, tapName, nullptr, nullptr) != 0)
        return;
    makeRaw(tapClient_);
    tapPath_ = tapName;
    far_ = open(farPath.c_str(), O_RDWR | O_NOCTTY);
    if (far_ < 0)
        return;
    makeRaw(far_);
    const std::pair<int, speed_t> speeds[]
        = { { 1200, B1200 }, { 2400, B2400 }, { 4800, B4800 }, { 9600, B9600 }, { 19200, B19200 },
              { 38400, B38400 }, { 57600, B57600 }, { 115200, B115200 }, { 230400, B230400 } };
    for (const auto& [bits, code] : speeds)
        if (bits == bitsPerSecond)
            farSpeed_ = code;
    // The far end runs at the line's speed, as a UART pair's two ends do: the slave behind it
    // reads that speed to know how long a silence ends a frame.
    termios tio {};
    tcgetattr(far_, &tio);
    cfsetspeed(&tio, farSpeed_);
    tcsetattr(far_, TCSANOW, &tio);
    toSlave_ = std::thread([this] { forward(master_, far_, requests_, false); });
    toProgram_ = std::thread([this] { forward(far_, master_, replies_, garble_); });
    if (faults_.delivery == Delivery::Usb)
        usb_ = std::thread([this] { usbTimer(); });
    ok_ = true;
}

PacedLine::~PacedLine()
{
    stop_ = true;
    for (std::thread* t : { &toSlave_, &toProgram_, &usb_ })
        if (t->joinable())
            t->join();
    for (int fd : { master_, client_, far_, tap_, tapClient_ })
        if (fd >= 0)
            close(fd);
}

void PacedLine::forward(int from, int to, std::vector<Crossing>& log, bool garble)
{
    const bool toSlave = from == master_;
    Clock::time_point lineFree = Clock::now();
    while (!stop_) {
        pollfd pfd { from, POLLIN, 0 };
        if (poll(&pfd, 1, 20) <= 0 || !(pfd.revents & POLLIN))
            continue;
        char buf[512];
        const ssize_t n = read(from, buf, sizeof buf);
        if (n <= 0)
            continue;
        const Clock::time_point took = Clock::now();
        std::string bytes(buf, std::size_t(n));
        if (toSlave && faults_.noSlave && !faults_.echo)
            continue;
        if (!toSlave)
            bytes = faulted(bytes);
        const bool late
            = !toSlave && (faults_.lateEvery == 0 || ++repliesSent_ % faults_.lateEvery == 0);
        if (faults_.delayMs && late)
            lineFree = std::max(lineFree, took + std::chrono::milliseconds(faults_.delayMs));
        // With no slave the request still crosses, for an adapter that hears itself.
        if (!pace(toSlave && faults_.noSlave ? -1 : to, bytes, garble, log, took, lineFree))
            return;
    }
}

bool PacedLine::pace(int to, const std::string& bytes, bool garble, std::vector<Crossing>& log,
    Clock::time_point took, Clock::time_point& lineFree)
{
    const bool reply = to == master_;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        // A UART sends one byte after the other: each takes 10 bit times on the wire.
        lineFree = std::max(lineFree, took) + byteTime_;
        if (reply && faults_.gapMs && i == 3 + (faults_.strayByte ? 1 : 0))
            lineFree += std::chrono::milliseconds(faults_.gapMs);
        std::this_thread::sleep_until(lineFree);
        // Read across speeds, a byte's bits land in the wrong places: here, inverted.
        const auto byte = static_cast<unsigned char>(
            garble && speedDiffers(master_) ? ~static_cast<unsigned char>(bytes[i]) : bytes[i]);
        // The adapter hears its own bytes as they cross: the program reads them back.
        const bool last = i + 1 == bytes.size();
        if (!reply && faults_.echo && !deliver(static_cast<unsigned char>(bytes[i]), last))
            return false;
        if (reply ? !deliver(byte, last) : to >= 0 && write(to, &byte, 1) != 1)
            return false;
        std::lock_guard lock(mutex_); // also keeps the tap's bytes in the wire's order
        // With garble, a listener at another speed than the line's hears garbage too.
        const auto tapped = static_cast<unsigned char>(
            garble_ && speedDiffers(tap_) ? ~static_cast<unsigned char>(bytes[i]) : bytes[i]);
        [[maybe_unused]] const ssize_t heard = write(tap_, &tapped, 1);
        log.push_back({ took, lineFree, Clock::now() });
    }
    return true;
}

bool PacedLine::deliver(unsigned char byte, bool last)
{
    std::lock_guard lock(deliveryMutex_);
    held_.push_back(static_cast<char>(byte));
    const bool now = faults_.delivery == Delivery::ByteByByte
        || (faults_.delivery == Delivery::AtOnce && last)
        || (faults_.delivery == Delivery::Usb && held_.size() >= 62);
    if (!now)
        return true;
    const bool whole = write(master_, held_.data(), held_.size()) == ssize_t(held_.size());
    held_.clear();
    return whole;
}

void PacedLine::usbTimer()
{
    for (Clock::time_point tick = Clock::now(); !stop_;) {
        tick += std::chrono::milliseconds(16);
        std::this_thread::sleep_until(tick);
        std::lock_guard lock(deliveryMutex_);
        if (const ssize_t n = held_.empty() ? 0 : write(master_, held_.data(), held_.size()); n > 0)
            held_.erase(0, std::size_t(n)); // what did not fit goes at the next tick
    }
}

std::string PacedLine::faulted(std::string reply) const
{
    // The demo slave writes each reply whole, so one read here holds one frame.
    const auto crc = [](std::string& frame) {
        std::uint16_t c = 0xFFFF;
        for (const char b : frame) {
            c ^= static_cast<unsigned char>(b);
            for (int k = 0; k < 8; ++k)
                c = c & 1 ? (c >> 1) ^ 0xA001 : c >> 1;
        }
        frame += static_cast<char>(c & 0xFF);
        frame += static_cast<char>(c >> 8);
    };
    const std::string stray = faults_.strayByte ? std::string(1, '\0') : std::string();
    // Only a fault in what the reply says rewrites it (an RTU frame's): any other frame passes
    // as it came.
    if (reply.size() < 5 || !(faults_.wrongFunction || faults_.otherAddress || faults_.shortReply))
        return stray + reply;
    std::string body = reply.substr(0, reply.size() - 2);
    if (faults_.wrongFunction)
        body[1] = 4;
    if (faults_.otherAddress)
        body[0] = static_cast<char>(body[0] + 1);
    const bool registers = body[1] == 3 || body[1] == 4;
    if (faults_.shortReply && registers && static_cast<unsigned char>(body[2]) >= 4) {
        body[2] = static_cast<char>(static_cast<unsigned char>(body[2]) - 2);
        body.resize(body.size() - 2);
    }
    crc(body);
    return stray + body;
}

bool PacedLine::speedDiffers(int ptyMaster) const
{
    // The master side of a pty reads back the speed its slave side, a program's, was given.
    termios tio {};
    return tcgetattr(ptyMaster, &tio) == 0 && cfgetospeed(&tio) != farSpeed_;
}

std::vector<PacedLine::Crossing> PacedLine::requests() const
{
    std::lock_guard lock(mutex_);
    return requests_;
}

std::string PacedLine::tapWritten() const
{
    std::string written;
    pollfd waiting { tap_, POLLIN, 0 };
    char buffer[256];
    for (ssize_t n = 0; poll(&waiting, 1, 0) == 1 && (waiting.revents & POLLIN)
         && (n = read(tap_, buffer, sizeof buffer)) > 0;)
        written.append(buffer, std::size_t(n));
    return written;
}

std::vector<PacedLine::Crossing> PacedLine::replies() const
{
    std::lock_guard lock(mutex_);
    return replies_;
}

} // namespace bench
