#include "pcap_file.h"

namespace modbus {
namespace {

    constexpr std::uint32_t kMagic = 0xA1B2C3D4; // microsecond time stamps
    constexpr std::size_t kHeader = 24, kRecordHeader = 16;

    // Little-endian, as the machines this runs on write it; the magic tells readers the order.
    void put32(ByteString& out, std::uint32_t value)
    {
        for (int i = 0; i < 4; ++i)
            out.push_back(CharOf(std::uint8_t(value >> (8 * i))));
    }

    std::uint32_t get32(std::string_view in, std::size_t at)
    {
        std::uint32_t value = 0;
        for (int i = 3; i >= 0; --i)
            value = (value << 8) | ByteAt(in, at + std::size_t(i));
        return value;
    }

} // namespace

ByteString PcapHeader()
{
    ByteString out;
    put32(out, kMagic);
    put32(out, 2 | (4u << 16)); // version 2.4: two 16-bit fields, major first
    put32(out, 0); // time zone: UTC
    put32(out, 0); // accuracy of the time stamps
    put32(out, 65535);
    put32(out, kPcapUser0);
    return out;
}

ByteString PcapRecord(std::string_view frame, std::int64_t atUs)
{
    ByteString out;
    put32(out, std::uint32_t(atUs / 1'000'000));
    put32(out, std::uint32_t(atUs % 1'000'000));
    put32(out, std::uint32_t(frame.size()));
    put32(out, std::uint32_t(frame.size()));
    return out + ByteString(frame);
}

std::optional<std::vector<PcapFrame>> ReadPcap(std::string_view file)
{
    if (file.size() < kHeader || get32(file, 0) != kMagic || get32(file, 20) != kPcapUser0)
        return std::nullopt;
    std::vector<PcapFrame> frames;
    for (std::size_t at = kHeader; at < file.size();) {
        if (file.size() - at < kRecordHeader)
            return std::nullopt;
        const std::size_t length = get32(file, at + 8);
        if (file.size() - at - kRecordHeader < length)
            return std::nullopt;
        const std::int64_t us = std::int64_t(get32(file, at)) * 1'000'000 + get32(file, at + 4);
        frames.push_back({ us, ByteString(file.substr(at + kRecordHeader, length)) });
        at += kRecordHeader + length;
    }
    return frames;
}

} // namespace modbus
