#include "pty_slave.h"

#include "own_answers.h"
#include "serial_device.h"

#include "modbus/byte_string.h"
#include "modbus/crc16.h"
#include "modbus/function_table.h"

#include <modbus/modbus.h>

#include <algorithm>
#include <chrono>
#include <iterator>
#include <optional>
#include <poll.h>
#include <pty.h>
#include <span>
#include <sys/socket.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <utility>

namespace {

// A frame ends at a silence of 3.5 characters: 4 ms at 9600 bit/s. A pty carries bytes at
// once whatever speed is set, so 4 ms serves at 9600 and above; where the other end set a
// slower speed on the pty (a line that paces its bytes), the silence is that speed's.
constexpr int kSilenceMs = 4;

int silenceMs(int fd)
{
    static constexpr std::pair<speed_t, int> kSpeeds[]
        = { { B1200, 1200 }, { B2400, 2400 }, { B4800, 4800 } };
    termios tio {};
    if (tcgetattr(fd, &tio) != 0)
        return kSilenceMs;
    for (const auto& [code, bits] : kSpeeds)
        if (cfgetospeed(&tio) == code)
            return std::max(kSilenceMs, (38'500 + bits - 1) / bits); // 3.5 x 11 bits, in ms
    return kSilenceMs;
}

// A request the table knows the length of is waited for across a pause this long: a loaded
// machine or an adapter's USB latency may split it, and a bench should not drop it for that.
constexpr int kPieceGapMs = 50;

// Whether more of a request is to come: the table wants more bytes than have come.
bool requestIncomplete(const std::string& frame)
{
    const std::optional<std::size_t> length = modbus::RequestFrameLength(frame, 0);
    return !length || *length > frame.size();
}

// What is waiting on fd, without blocking.
std::string waiting(int fd)
{
    std::string bytes;
    char buf[512];
    pollfd pfd { fd, POLLIN, 0 };
    while (poll(&pfd, 1, 0) > 0 && (pfd.revents & POLLIN)) {
        const ssize_t n = read(fd, buf, sizeof buf);
        if (n <= 0)
            break;
        bytes.append(buf, std::size_t(n));
    }
    return bytes;
}

} // namespace

PtySlave::PtySlave(int address, int registerCount)
    : address_(address)
    , registerCount_(registerCount)
{
    char name[128] = {};
    if (openpty(&master_, &slave_, name, nullptr, nullptr) != 0)
        return;
    path_ = name;
    termios tio {};
    tcgetattr(slave_, &tio);
    cfmakeraw(&tio);
    tcsetattr(slave_, TCSANOW, &tio);
    startLibmodbus();
}

PtySlave::PtySlave(
    int address, int registerCount, const std::string& device, const comm::LineSettings& line)
    : address_(address)
    , registerCount_(registerCount)
    , path_(device)
{
    master_ = OpenSerialDevice(device, line, failure_);
    if (master_ >= 0)
        startLibmodbus();
}

void PtySlave::startLibmodbus()
{
    // libmodbus sees only whole frames for this slave, through a socket pair: a foreign frame
    // read by libmodbus itself would put it out of step with the frames that follow.
    modbus_t* ctx = modbus_new_rtu("/dev/null", 19200, 'N', 8, 1);
    map_ = modbus_mapping_new(registerCount_, registerCount_, registerCount_, registerCount_);
    if (!ctx || !map_ || socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, link_) != 0
        || modbus_set_slave(ctx, address_) != 0 || modbus_set_socket(ctx, link_[1]) != 0) {
        if (ctx)
            modbus_free(ctx);
        return;
    }
    // The whole frame is already waiting when libmodbus reads it.
    modbus_set_indication_timeout(ctx, 0, 200000);
    modbus_set_byte_timeout(ctx, 0, 50000);
    ctx_ = ctx;
}

PtySlave::~PtySlave()
{
    if (ctx_)
        modbus_free(ctx_);
    if (map_)
        modbus_mapping_free(map_);
    for (const auto& [slave, mapping] : others_)
        modbus_mapping_free(mapping);
    for (int fd : { link_[0], link_[1], slave_, master_ })
        if (fd >= 0)
            close(fd);
}

std::uint16_t* PtySlave::registers() { return map_->tab_registers; }
std::uint16_t* PtySlave::registers(int slave) { return mappingOf(slave)->tab_registers; }
std::uint16_t* PtySlave::inputRegisters(int slave) { return mappingOf(slave)->tab_input_registers; }
std::uint8_t* PtySlave::coils(int slave) { return mappingOf(slave)->tab_bits; }
std::uint8_t* PtySlave::inputs(int slave) { return mappingOf(slave)->tab_input_bits; }

void PtySlave::answerAs(const std::vector<int>& addresses)
{
    addresses_ = addresses;
    if (!map_)
        return;
    const auto bytes = std::size_t(registerCount_);
    for (const int slave : addresses) {
        if (slave == address_ || others_.count(slave))
            continue;
        _modbus_mapping_t* own
            = modbus_mapping_new(registerCount_, registerCount_, registerCount_, registerCount_);
        if (!own)
            continue;
        std::copy_n(map_->tab_bits, bytes, own->tab_bits);
        std::copy_n(map_->tab_input_bits, bytes, own->tab_input_bits);
        std::copy_n(map_->tab_registers, bytes, own->tab_registers);
        std::copy_n(map_->tab_input_registers, bytes, own->tab_input_registers);
        others_[slave] = own;
    }
}

_modbus_mapping_t* PtySlave::mappingOf(int slave)
{
    const auto it = others_.find(slave);
    return it == others_.end() ? map_ : it->second;
}
std::uint16_t* PtySlave::inputRegisters() { return map_->tab_input_registers; }
std::uint8_t* PtySlave::coils() { return map_->tab_bits; }
std::uint8_t* PtySlave::inputs() { return map_->tab_input_bits; }

void PtySlave::setIdentification(const std::string (&objects)[7])
{
    std::copy(std::begin(objects), std::end(objects), std::begin(objects_));
}

std::optional<std::string> PtySlave::answerOwn(const std::string& frame)
{
    if (modbus::CRC16(frame.substr(0, frame.size() - 2)) != frame.substr(frame.size() - 2))
        return std::nullopt;
    const std::uint8_t to = modbus::ByteAt(frame, 0);
    const modbus::FunctionInfo* info = modbus::FindFunction(modbus::ByteAt(frame, 1));
    const SlaveFaults* faults = faults_.of(to);
    const bool ignores = ignoreWrites_ || (faults && faults->ignoresWrites());
    if (ignores && info && modbus::PlainWrite(*info)) {
        // Acknowledged as done: the fields a good reply repeats, and nothing written.
        std::string ack = frame.substr(0, 2 + 2 * info->echoed.size());
        return ack + *modbus::CRC16(ack);
    }
    const std::span<const std::uint16_t> registers(
        mappingOf(to)->tab_registers, std::size_t(registerCount_));
    return OwnAnswer(frame, { registers, objects_ });
}

std::string PtySlave::serveOnce(int timeoutMs)
{
    sendDue();
    const std::string frame = readRequest(untilDueMs(timeoutMs));
    if (!frame.empty()) {
        Reply made = reply(frame, framing_);
        const auto due = std::chrono::steady_clock::now() + std::chrono::milliseconds(made.delayMs);
        due_.emplace(due, std::move(made));
    }
    sendDue();
    return frame;
}

void PtySlave::sendDue()
{
    const auto now = std::chrono::steady_clock::now();
    while (!due_.empty() && due_.begin()->first <= now) {
        const Reply sent = std::move(due_.begin()->second);
        due_.erase(due_.begin());
        if (sent.told && onReply)
            onReply(sent.bytes, sent.note);
        // A write the terminal is not there for is lost, as on a line nobody listens to.
        if (!sent.bytes.empty()) [[maybe_unused]]
            const ssize_t n = write(master_, sent.bytes.data(), sent.bytes.size());
    }
}

int PtySlave::untilDueMs(int waitMs) const
{
    if (due_.empty())
        return waitMs;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(
        due_.begin()->first - std::chrono::steady_clock::now());
    return int(std::clamp<std::int64_t>(left.count(), 0, waitMs));
}

std::string PtySlave::readRequest(int timeoutMs)
{
    std::string frame;
    if (framing_ == modbus::Framing::Ascii) {
        // A frame whose LRC is wrong is not answered, as one with a bad CRC.
        const modbus::WireCut cut = modbus::FramerOf(framing_).cut(
            readAsciiFrame(timeoutMs), true, modbus::Sender::Master);
        if (cut.kind == modbus::WireCut::Kind::Frame && cut.checkGood)
            frame = modbus::FramerOf(modbus::Framing::Rtu).wrap(cut.adu);
    } else {
        frame = readFrame(timeoutMs);
    }
    return frame;
}

std::string PtySlave::readAsciiFrame(int timeoutMs)
{
    // ASCII allows a second between a frame's characters.
    constexpr int kCharacterGapMs = 1000;
    const modbus::WireFramer& ascii = modbus::FramerOf(modbus::Framing::Ascii);
    for (int wait = timeoutMs;; wait = kCharacterGapMs) {
        modbus::WireCut cut;
        while (!pendingText_.empty()
            && (cut = ascii.cut(pendingText_, false, modbus::Sender::Master)).length > 0) {
            const std::string taken = pendingText_.substr(0, cut.length);
            pendingText_.erase(0, cut.length);
            if (cut.kind == modbus::WireCut::Kind::Frame)
                return taken;
        }
        pollfd pfd { master_, POLLIN, 0 };
        char buf[512];
        const ssize_t n = poll(&pfd, 1, wait) > 0 && (pfd.revents & POLLIN)
            ? read(master_, buf, sizeof buf)
            : 0;
        if (n <= 0) {
            pendingText_.clear(); // a frame begun and never ended
            return {};
        }
        pendingText_.append(buf, std::size_t(n));
    }
}

std::string PtySlave::respond(const std::string& frame, modbus::Framing framing)
{
    const Reply made = reply(frame, framing);
    if (made.delayMs > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(made.delayMs));
    if (made.told && onReply)
        onReply(made.bytes, made.note);
    return made.bytes;
}

PtySlave::Reply PtySlave::reply(const std::string& frame, modbus::Framing framing)
{
    // A slave keeps quiet about frames for other addresses, as on a shared line; a broadcast
    // (address 0) it carries out without a word.
    const int to = frame.empty() ? -1 : static_cast<std::uint8_t>(frame[0]);
    const bool mine = addresses_.empty()
        ? to == address_
        : std::find(addresses_.begin(), addresses_.end(), to) != addresses_.end();
    if (frame.size() < 4 || frame.size() > MODBUS_RTU_MAX_ADU_LENGTH)
        return {};
    // An adapter that hears itself gives back every frame, whoever it is for.
    const SlaveFaults* adapter = faults_.of(to);
    const std::string echo = adapter && adapter->echoes() ? WireOf(frame, framing) : std::string();
    if (!mine && to != 0)
        return { echo, 0, {}, false }; // an adapter's echo, not printed as a reply
    if (!addresses_.empty() && to != 0)
        modbus_set_slave(ctx_, to);
    if (onRequest)
        onRequest(frame);
    const std::string answered = answer(frame);
    SlaveFaults* faults = faults_.of(to);
    FaultedReply sent = faults && to != 0
        ? faults->apply(frame, answered, random_, framing)
        : FaultedReply { to == 0 ? echo : WireOf(answered, framing), 0, {} };
    return { sent.bytes, sent.delayMs, sent.note, true };
}

std::string PtySlave::readFrame(int timeoutMs)
{
    std::string frame;
    const int silence = silenceMs(master_);
    for (int wait = timeoutMs;; wait = requestIncomplete(frame) ? kPieceGapMs : silence) {
        pollfd pfd { master_, POLLIN, 0 };
        if (poll(&pfd, 1, wait) <= 0 || !(pfd.revents & POLLIN))
            return frame;
        char buf[512];
        const ssize_t n = read(master_, buf, sizeof buf);
        if (n <= 0)
            return frame;
        frame.append(buf, std::size_t(n));
    }
}

std::string PtySlave::answer(const std::string& frame)
{
    if (const std::optional<std::string> own = answerOwn(frame))
        return *own;
    if (write(link_[0], frame.data(), frame.size()) != static_cast<ssize_t>(frame.size()))
        return {};
    // libmodbus checks the frame (CRC included) and replies on its end of the link.
    std::uint8_t query[MODBUS_RTU_MAX_ADU_LENGTH];
    const int rc = modbus_receive(ctx_, query);
    if (rc > 0)
        modbus_reply(ctx_, query, rc, mappingOf(static_cast<std::uint8_t>(frame[0])));
    waiting(link_[1]); // what libmodbus left unread must not start the next frame
    return waiting(link_[0]);
}
