// A serial line with real timing between a program and the demo slave: two threads forward the
// bytes each way through a pty pair, each byte held for 10 bit times at the chosen speed, and
// the time each byte finished crossing is recorded.
#pragma once

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace bench {

class PacedLine
{
public:
    using Clock = std::chrono::steady_clock;
    struct Crossing
    {
        Clock::time_point read; // when the forwarder took the byte
        Clock::time_point crossed; // when its 10 bits had gone
    };

    // farPath: the demo slave's pty, opened as a program would.
    PacedLine(const std::string& farPath, int bitsPerSecond);
    ~PacedLine();

    const std::string& path() const { return path_; } // what the program opens
    bool ok() const { return ok_; }
    std::vector<Crossing> requests() const; // program to slave, byte by byte
    std::vector<Crossing> replies() const;

private:
    void forward(int from, int to, std::vector<Crossing>& log);

    std::string path_;
    int master_ = -1, client_ = -1, far_ = -1;
    std::chrono::nanoseconds byteTime_;
    std::atomic<bool> stop_ { false };
    mutable std::mutex mutex_;
    std::vector<Crossing> requests_, replies_;
    std::thread toSlave_, toProgram_;
    bool ok_ = false;
};

} // namespace bench
