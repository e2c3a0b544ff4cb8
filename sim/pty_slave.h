// A Modbus RTU slave (libmodbus: coils, inputs, holding and input registers, each
// registerCount long) on the far end of a pty: the terminal opens path(). Or on a
// real serial port, for tests with two adapters wired together.
#pragma once

#include "slave_faults.h"

#include "serial/line_settings.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

struct _modbus;
struct _modbus_mapping_t;

class PtySlave
{
public:
    PtySlave(int address, int registerCount);
    // On the serial device at that path instead, raw at the line's settings; when it cannot be
    // opened, ok() is false and failure() says why.
    PtySlave(
        int address, int registerCount, const std::string& device, const comm::LineSettings& line);
    ~PtySlave();
    PtySlave(const PtySlave&) = delete;
    PtySlave& operator=(const PtySlave&) = delete;

    bool ok() const { return ctx_ != nullptr; }
    const std::string& path() const { return path_; }
    const std::string& failure() const { return failure_; }
    std::uint16_t* registers();
    std::uint16_t* inputRegisters();
    std::uint8_t* coils();
    std::uint8_t* inputs();
    // What Read Device Identification (43/14) reports: objects 0 to 6, by id.
    void setIdentification(const std::string (&objects)[7]);

    // Waits up to timeoutMs for a request, answers it when it is addressed to this slave,
    // and returns the request's bytes (empty when none came); an ASCII request as its RTU frame.
    // A reply with a delay goes when its time comes, while other requests are read and
    // answered meanwhile: each slave of a bench answers on its own, as on a real bus.
    std::string serveOnce(int timeoutMs);
    // Replies whose time has come go on the pty; how long, at most waitMs, until the next.
    void sendDue();
    int untilDueMs(int waitMs) const;
    // The reply to one whole RTU frame from anywhere (a network too), as framing carries it:
    // empty when none is due (another slave's frame, a broadcast, bad check bytes).
    std::string respond(const std::string& frame, modbus::Framing framing = modbus::Framing::Rtu);
    // How frames go on the pty or port: RTU unless set.
    void setFraming(modbus::Framing framing) { framing_ = framing; }
    int address() const { return address_; }
    // Answers each of these addresses instead, a bench of several devices on one line: each
    // its own four tables, starting as copies of the first slave's.
    void answerAs(const std::vector<int>& addresses);
    // A slave's tables (any other address: the first slave's); each registerCount long.
    std::uint16_t* registers(int slave);
    std::uint16_t* inputRegisters(int slave);
    std::uint8_t* coils(int slave);
    std::uint8_t* inputs(int slave);
    int registerCount() const { return registerCount_; }
    // A device that acknowledges writes (5, 6, 15, 16) and keeps its old values.
    void ignoreWrites(bool ignore) { ignoreWrites_ = ignore; }
    // Faults per slave (see FaultPlan), applied to every reply from now on; a delay is waited
    // out before the reply goes.
    void setFaults(FaultPlan plan) { faults_ = std::move(plan); }
    // Each request to this bench as it came (before any delay), and what went back with the
    // faults applied (empty: nothing).
    std::function<void(const std::string& request)> onRequest;
    std::function<void(const std::string& sent, const std::string& note)> onReply;
    // The pty's end the slave reads, for waiting on it beside other things.
    int fd() const { return master_; }

private:
    void startLibmodbus();
    // A reply made, to go after its delay; told: printed as it goes (an echo of another
    // slave's frame is not).
    struct Reply
    {
        std::string bytes;
        int delayMs = 0;
        std::string note;
        bool told = false;
    };
    Reply reply(const std::string& frame, modbus::Framing framing);
    std::string readRequest(int timeoutMs);
    std::string readFrame(int timeoutMs);
    // An ASCII frame's text, up to its CR LF; empty when none came whole.
    std::string readAsciiFrame(int timeoutMs);
    std::string answer(const std::string& frame);
    // Ignored writes and what libmodbus does not answer, framed here; nullopt: libmodbus's to
    // answer.
    std::optional<std::string> answerOwn(const std::string& frame);

    int address_;
    std::vector<int> addresses_; // empty: address_ alone
    std::map<int, _modbus_mapping_t*> others_; // the tables of addresses other than address_
    _modbus_mapping_t* mappingOf(int slave);
    bool ignoreWrites_ = false;
    modbus::Framing framing_ = modbus::Framing::Rtu;
    std::string pendingText_; // ASCII text read past a frame's end
    std::multimap<std::chrono::steady_clock::time_point, Reply> due_; // replies held back
    FaultPlan faults_;
    std::mt19937 random_ { 48 }; // delays in a range: the same from run to run
    int registerCount_;
    int master_ = -1;
    int slave_ = -1; // held open so the master never sees a hang-up between terminal sessions
    int link_[2] = { -1, -1 }; // ours, libmodbus's
    std::string path_;
    std::string failure_;
    _modbus* ctx_ = nullptr;
    _modbus_mapping_t* map_ = nullptr;
    std::string objects_[7];
};
