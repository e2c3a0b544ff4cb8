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

// How bytes that crossed the line reach the program's reads: byte by byte as each crosses (a
// UART), a whole chunk once its last byte has crossed, or as a USB adapter hands them over
// (held until its 16 ms latency timer fires or 62 bytes wait).
enum class Delivery { ByteByByte, AtOnce, Usb };

// The faults of real lines and devices, each the fixture's own doing on every exchange.
struct LineFaults
{
    bool echo = false; // a two-wire adapter: every byte sent comes back to the program too
    bool noSlave = false; // requests go nowhere
    bool strayByte = false; // a 0x00 before each reply (a driver switching on)
    int gapMs = 0; // a pause this long after each reply's third byte
    int delayMs = 0; // each reply held back this long (a slow slave, or a late one)
    int lateEvery = 0; // with delayMs: only every this many replies are held back
    bool wrongFunction = false; // replies carry function 4 whatever was asked
    bool shortReply = false; // register replies carry one register fewer than asked
    bool otherAddress = false; // replies carry the next address (another slave answering)
    Delivery delivery = Delivery::ByteByByte;
};

class PacedLine
{
public:
    using Clock = std::chrono::steady_clock;
    struct Crossing
    {
        Clock::time_point read; // when the forwarder took the byte
        Clock::time_point crossed; // when its 10 bits had gone, as scheduled
        Clock::time_point tapped; // when a listener on the wire could read it (a busy machine
                                  // wakes the line late)
    };

    // farPath: the demo slave's pty, opened as a program would. With garble, the far end answers
    // at bitsPerSecond: while the program's end is set to another speed, what the program reads
    // is garbage, as a UART reads a frame sent at another speed. (Its requests pass: the far
    // end stands for a slave whose receiver takes any speed, so that a wrong one shows.)
    PacedLine(
        const std::string& farPath, int bitsPerSecond, bool garble = false, LineFaults faults = {});
    ~PacedLine();

    const std::string& path() const { return path_; } // what the program opens
    // A third party on the wire, as a listener on an RS-485 bus: every byte either way, as it
    // crosses. Its other end is held open, so what crosses before a listener opens it waits.
    // With garble, a listener set to another speed than the line's hears garbage.
    const std::string& tapPath() const { return tapPath_; }
    // What a listener wrote into the tap so far: nothing, when it only listens.
    std::string tapWritten() const;
    bool ok() const { return ok_; }
    std::vector<Crossing> requests() const; // program to slave, byte by byte
    std::vector<Crossing> replies() const;

private:
    void forward(int from, int to, std::vector<Crossing>& log, bool garble);
    // A byte that has crossed towards the program, handed over as the delivery does; last: the
    // last of what the sender wrote at once.
    bool deliver(unsigned char byte, bool last);
    // A USB adapter's latency timer: what it holds goes every 16 ms.
    void usbTimer();
    // One chunk onto the line towards to, paced byte by byte.
    bool pace(int to, const std::string& bytes, bool garble, std::vector<Crossing>& log,
        Clock::time_point took, Clock::time_point& lineFree);
    std::string faulted(std::string reply) const;

    std::string path_, tapPath_;
    int master_ = -1, client_ = -1, far_ = -1, tap_ = -1, tapClient_ = -1;
    bool speedDiffers(int ptyMaster) const;

    std::chrono::nanoseconds byteTime_;
    unsigned farSpeed_ = 0; // termios speed code of the far end
    bool garble_ = false;
    LineFaults faults_;
    std::atomic<bool> stop_ { false };
    mutable std::mutex mutex_;
    std::vector<Crossing> requests_, replies_;
    std::thread toSlave_, toProgram_, usb_;
    std::mutex deliveryMutex_;
    std::string held_; // crossed, not yet handed to the program
    int repliesSent_ = 0; // for lateEvery
    bool ok_ = false;
};

} // namespace bench
