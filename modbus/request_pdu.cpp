#include "request_pdu.h"

namespace modbus::pdu {
namespace {

    void put16(ByteString& pdu, std::uint64_t value)
    {
        pdu.push_back(CharOf(std::uint8_t(value >> 8)));
        pdu.push_back(CharOf(std::uint8_t(value)));
    }

    std::string outside(const char* what, std::int64_t low, std::int64_t high)
    {
        return std::string(what) + " must be " + std::to_string(low) + ".." + std::to_string(high);
    }

    // A block of count items from start must end within the 65536 addresses.
    std::string block(unsigned start, std::size_t count, unsigned most, const char* what)
    {
        if (count < 1 || count > most)
            return outside(what, 1, most);
        if (start > 0xFFFF)
            return outside("the start", 0, 65535);
        if (start + count > 0x10000)
            return "the block ends past address 65535";
        return {};
    }

    std::string registerValues(const RequestFields& fields, ByteString& pdu)
    {
        for (const std::int64_t v : fields.values) {
            if (v < -32768 || v > 65535)
                return "the value " + std::to_string(v) + " is outside 16 bits (-32768..65535)";
            put16(pdu, std::uint64_t(v) & 0xFFFF);
        }
        return {};
    }

    std::string startCount(
        const RequestFields& fields, ByteString& pdu, unsigned most, const char* what)
    {
        if (std::string why = block(fields.start, fields.quantity, most, what); !why.empty())
            return why;
        pdu.push_back(CharOf(fields.function));
        put16(pdu, fields.start);
        put16(pdu, fields.quantity);
        return {};
    }

} // namespace

std::string ReadBits(const RequestFields& fields, ByteString& pdu)
{
    return startCount(fields, pdu, 2000, "the quantity of bits");
}

std::string ReadRegisters(const RequestFields& fields, ByteString& pdu)
{
    return startCount(fields, pdu, 125, "the quantity of registers");
}

std::string WriteCoil(const RequestFields& fields, ByteString& pdu)
{
    if (fields.values.size() != 1 || (fields.values[0] != 0 && fields.values[0] != 1))
        return "a coil is written 0 or 1";
    if (fields.start > 0xFFFF)
        return outside("the coil", 0, 65535);
    pdu.push_back(CharOf(5));
    put16(pdu, fields.start);
    put16(pdu, fields.values[0] ? 0xFF00 : 0); // the standard's ON and OFF
    return {};
}

std::string WriteRegister(const RequestFields& fields, ByteString& pdu)
{
    if (fields.values.size() != 1)
        return "one value is written";
    if (fields.start > 0xFFFF)
        return outside("the register", 0, 65535);
    pdu.push_back(CharOf(6));
    put16(pdu, fields.start);
    return registerValues(fields, pdu);
}

std::string WriteCoils(const RequestFields& fields, ByteString& pdu)
{
    if (std::string why = block(fields.start, fields.values.size(), 1968, "the quantity of coils");
        !why.empty())
        return why;
    ByteString packed((fields.values.size() + 7) / 8, '\0');
    for (std::size_t i = 0; i < fields.values.size(); ++i) {
        if (fields.values[i] != 0 && fields.values[i] != 1)
            return "coils are written 0 or 1";
        if (fields.values[i])
            packed[i / 8] = CharOf(std::uint8_t(ByteAt(packed, i / 8) | 1 << (i % 8)));
    }
    pdu.push_back(CharOf(15));
    put16(pdu, fields.start);
    put16(pdu, fields.values.size());
    pdu.push_back(CharOf(std::uint8_t(packed.size())));
    pdu += packed;
    return {};
}

std::string WriteRegisters(const RequestFields& fields, ByteString& pdu)
{
    if (std::string why
        = block(fields.start, fields.values.size(), 123, "the quantity of registers");
        !why.empty())
        return why;
    pdu.push_back(CharOf(16));
    put16(pdu, fields.start);
    put16(pdu, fields.values.size());
    pdu.push_back(CharOf(std::uint8_t(2 * fields.values.size())));
    return registerValues(fields, pdu);
}

std::string MaskWrite(const RequestFields& fields, ByteString& pdu)
{
    if (fields.values.size() != 2)
        return "a mask write takes an AND mask and an OR mask";
    for (const std::int64_t mask : fields.values)
        if (mask < 0 || mask > 0xFFFF)
            return outside("a mask", 0, 65535);
    if (fields.start > 0xFFFF)
        return outside("the register", 0, 65535);
    pdu.push_back(CharOf(22));
    put16(pdu, fields.start);
    put16(pdu, std::uint64_t(fields.values[0]));
    put16(pdu, std::uint64_t(fields.values[1]));
    return {};
}

std::string ReadWrite(const RequestFields& fields, ByteString& pdu)
{
    if (std::string why = block(fields.start, fields.quantity, 125, "the quantity read");
        !why.empty())
        return why;
    if (std::string why
        = block(fields.writeStart, fields.values.size(), 121, "the quantity written");
        !why.empty())
        return why;
    pdu.push_back(CharOf(23));
    put16(pdu, fields.start);
    put16(pdu, fields.quantity);
    put16(pdu, fields.writeStart);
    put16(pdu, fields.values.size());
    pdu.push_back(CharOf(std::uint8_t(2 * fields.values.size())));
    return registerValues(fields, pdu);
}

std::string Diagnostics(const RequestFields& fields, ByteString& pdu)
{
    if (fields.sub > 0xFFFF)
        return outside("the sub-function", 0, 65535);
    if (fields.data.size() > 250)
        return "the data is over 250 bytes";
    pdu.push_back(CharOf(8));
    put16(pdu, fields.sub);
    pdu += fields.data;
    return {};
}

std::string FunctionOnly(const RequestFields& fields, ByteString& pdu)
{
    pdu.push_back(CharOf(fields.function));
    return {};
}

std::string ReadFifo(const RequestFields& fields, ByteString& pdu)
{
    if (fields.start > 0xFFFF)
        return outside("the FIFO address", 0, 65535);
    pdu.push_back(CharOf(24));
    put16(pdu, fields.start);
    return {};
}

std::string DeviceId(const RequestFields& fields, ByteString& pdu)
{
    if (fields.readCode < 1 || fields.readCode > 4)
        return outside("the read code", 1, 4);
    if (fields.objectId > 0xFF)
        return outside("the object id", 0, 255);
    pdu += "\x2B\x0E";
    pdu.push_back(CharOf(std::uint8_t(fields.readCode)));
    pdu.push_back(CharOf(std::uint8_t(fields.objectId)));
    return {};
}

} // namespace modbus::pdu
