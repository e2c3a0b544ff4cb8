#include "reply_text.h"

#include <stdexcept>

namespace modbus {
namespace {

    std::string numberText(unsigned value)
    {
        // Appending rather than " " + to_string(): g++ 12 warns falsely on the latter at -O2.
        std::string text(1, ' ');
        text += std::to_string(value);
        return text;
    }

    unsigned wordAt(const ByteString& chunk, std::size_t highIndex)
    {
        return ByteAt(chunk, highIndex) * 256u + ByteAt(chunk, highIndex + 1);
    }

    std::string crcText(const ByteString& chunk, std::size_t lowIndex)
    {
        return HexText(ByteAt(chunk, lowIndex)) + " " + HexText(ByteAt(chunk, lowIndex + 1));
    }

    void requireLength(const ByteString& chunk, std::size_t length)
    {
        if (chunk.size() < length)
            throw std::invalid_argument("reply shorter than its layout");
    }

} // namespace

ByteString WriteReplyText(const ByteString& chunk, double& firstHi)
{
    requireLength(chunk, kWriteReplyLength);
    const unsigned address = wordAt(chunk, 2);
    firstHi = wordAt(chunk, 4);
    return "Reply : ADDR :" + numberText(address)
        + ": Data : " + numberText(static_cast<unsigned>(firstHi)) + ": CRC : " + crcText(chunk, 6);
}

ByteString ReadReplyText(const ByteString& chunk, double& firstHi)
{
    requireLength(chunk, kReadReplyLength);
    firstHi = wordAt(chunk, 3);
    return "Reply " + numberText(ByteAt(chunk, 2)) + " butes : " + " Data : "
        + numberText(static_cast<unsigned>(firstHi)) + ": CRC : " + crcText(chunk, 5);
}

ByteString RawReplyText(std::string_view header, const ByteString& chunk)
{
    ByteString printable;
    std::string hex;
    for (std::size_t i = 0; i < chunk.size(); ++i) {
        const std::uint8_t byte = ByteAt(chunk, i);
        if (byte > 31)
            printable.push_back(CharOf(byte));
        hex += HexText(byte) + " ";
    }
    return ByteString(header) + "\r\n" + printable + "\r\n" + hex + "\r\n";
}

} // namespace modbus
