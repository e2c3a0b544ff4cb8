#include "paced_line.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

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

PacedLine::PacedLine(const std::string& farPath, int bitsPerSecond)
    : byteTime_(std::chrono::nanoseconds(10'000'000'000LL / bitsPerSecond))
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
    toSlave_ = std::thread([this] { forward(master_, far_, requests_); });
    toProgram_ = std::thread([this] { forward(far_, master_, replies_); });
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

void PacedLine::forward(int from, int to, std::vector<Crossing>& log)
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
            if (write(to, buf + i, 1) != 1)
                return;
            std::lock_guard lock(mutex_);
            log.push_back({ took, lineFree });
        }
    }
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
