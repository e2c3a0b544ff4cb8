#include "echo_probe.h"

#include "modbus/crc16.h"

#include <algorithm>
#include <utility>

namespace modbus {

ByteString EchoProbeFrame()
{
    const ByteString body("\xF8\x03\x00\x00\x00\x01", 6); // read one register of address 248
    return body + *CRC16(body);
}

EchoProbe::EchoProbe(std::int64_t sentAtUs, std::int64_t characterUs, ByteString wire)
    : wire_(std::move(wire))
    , deadlineUs_(sentAtUs + std::int64_t(wire_.size()) * characterUs + kAllowanceUs)
{ }

std::int64_t EchoProbe::nextWaitUs(std::int64_t nowUs) const
{
    return done() ? 0 : std::max<std::int64_t>(0, deadlineUs_ - nowUs);
}

void EchoProbe::read(const ByteString& chunk, std::int64_t atUs)
{
    bytes_ += chunk;
    if (const std::size_t at = bytes_.find(wire_); at != ByteString::npos) {
        heard_ = true;
        others_ = bytes_.substr(0, at) + bytes_.substr(at + wire_.size());
        return;
    }
    if (atUs >= deadlineUs_) {
        timeUp_ = true;
        others_ = bytes_;
    }
}

} // namespace modbus
