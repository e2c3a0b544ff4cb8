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

PacedLine::PacedLine(const std::string& farPath, int bitsPerSecond, bool garble)
    : byteTime_(std::chrono::nanoseconds(10'000'000'000LL / bitsPerSecond))
    , garble_(garble)
{
    char name[128] = {};
    if (openpty(&master_, &client_, name, nullptr, nullptr) != 0)
        return;
    makeRaw(client_);
    path_ = name;
    far_ = open(farPath.c_str(), O_RDWR | O_NOCTTY);
    if (far_ < 0)
        return;
    makeRaw(far_);
    termios tio {};
    tcgetattr(far_, &tio);
    const std::pair<int, speed_t> speeds[]
        = { { 1200, B1200 }, { 2400, B2400 }, { 4800, B4800 }, { 9600, B9600 }, { 19200, B19200 },
              { 38400, B38400 }, { 57600, B57600 }, { 115200, B115200 }, { 230400, B230400 } };
    for (const auto& [bits, code] : speeds)
        if (bits == bitsPerSecond)
            farSpeed_ = code;
    toSlave_ = std::thread([this] { forward(master_, far_, requests_, false); });
    toProgram_ = std::thread([this] { forward(far_, master_, replies_, garble_); });
    ok_ = true;
}

PacedLine::~PacedLine()
{
    stop_ = true;
    for (std::thread* t : { &toSlave_, &toProgram_ })
        if (t->joinable())
            t->join();
    for (int fd : { master_, client_, far_ })
        if (fd >= 0)
            close(fd);
}

void PacedLine::forward(int from, int to, std::vector<Crossing>& log, bool garble)
{
    Clock::time_point lineFree = Clock::now();
    while (!stop_) {
        pollfd pfd { from, POLLIN, 0 };
        if (poll(&pfd, 1, 20) <= 0 || !(pfd.revents & POLLIN))
            continue;
        unsigned char buf[512];
        const ssize_t n = read(from, buf, sizeof buf);
        const Clock::time_point took = Clock::now();
        for (ssize_t i = 0; i < n; ++i) {
            // A UART sends one byte after the other: each takes 10 bit times on the wire.
            lineFree = std::max(lineFree, took) + byteTime_;
            std::this_thread::sleep_until(lineFree);
            // Read across speeds, a byte's bits land in the wrong places: here, inverted.
            const unsigned char byte
                = garble && programSpeedDiffers() ? static_cast<unsigned char>(~buf[i]) : buf[i];
            if (write(to, &byte, 1) != 1)
                return;
            std::lock_guard lock(mutex_);
            log.push_back({ took, lineFree });
        }
    }
}

bool PacedLine::programSpeedDiffers() const
{
    // The master side of a pty reads back the speed its slave side, the program's, was given.
    termios tio {};
    return tcgetattr(master_, &tio) == 0 && cfgetospeed(&tio) != farSpeed_;
}

std::vector<PacedLine::Crossing> PacedLine::requests() const
{
    std::lock_guard lock(mutex_);
    return requests_;
}

std::vector<PacedLine::Crossing> PacedLine::replies() const
{
    std::lock_guard lock(mutex_);
    return replies_;
}

} // namespace bench
