#include "request_frames.h"

#include "modbus/crc16.h"
#include "modbus/number_text.h"

#include <cmath>
#include <cstdio>

namespace modbus {
namespace {

    // Names the first character that has no single-byte code; empty when there is none.
    std::string NoByteCode(std::u32string_view typed)
    {
        for (char32_t c : typed) {
            if (c > 0xFF) {
                char code[16];
                std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(c));
                return std::string("the free text holds ") + code
                    + ", which has no single-byte code";
            }
        }
        return {};
    }

    std::string quoted(FieldText field)
    {
        return std::string(field.name) + " \"" + std::string(field.text) + "\"";
    }

    // Collects the bytes of a frame; the first value that does not fit refuses the frame.
    class FrameBuilder
    {
    public:
        void address(std::string_view text)
        {
            byte(NumberFromText(text), [&] {
                return quoted({ "Addr", text }) + " is outside 0..255";
            });
        }

        FieldSplit field(FieldText field)
        {
            const FieldSplit split = SplitField(field.text);
            const auto refuse = [&] { return quoted(field) + " is outside 0..65535"; };
            byte(split.hi, refuse);
            byte(split.lo, refuse);
            return split;
        }

        void raw(std::string_view bytes) { frame_ += bytes; }

        void text(std::u32string_view typed)
        {
            if (const auto bytes = BytesFromCodePoints(typed))
                frame_ += *bytes;
            else if (notSent_.empty())
                notSent_ = NoByteCode(typed);
        }

        Request finish(FieldSplit first = {}, FieldSplit second = {})
        {
            if (notSent_.empty()) {
                if (auto check = CRC16(frame_))
                    frame_ += *check;
                else
                    notSent_ = "the request of " + std::to_string(frame_.size())
                        + " bytes is over the " + std::to_string(kCrcMaxLength) + "-byte limit";
            }
            if (!notSent_.empty())
                frame_.clear();
            return { frame_, notSent_, first, second };
        }

    private:
        template <typename Why> void byte(double value, Why why)
        {
            const auto b = NumberToByte(value);
            if (b)
                frame_.push_back(CharOf(*b));
            else if (notSent_.empty())
                notSent_ = why();
        }

        ByteString frame_;
        std::string notSent_;
    };

    Request twoFieldRequest(std::string_view address, std::uint8_t function, FieldText first,
        FieldText second, std::string_view between = {})
    {
        // A refusal names the first value that does not fit, in line order.
        FrameBuilder b;
        b.address(address);
        b.raw(std::string(1, CharOf(function)));
        const FieldSplit s1 = b.field(first);
        b.raw(between);
        const FieldSplit s2 = b.field(second);
        return b.finish(s1, s2);
    }

} // namespace

FieldSplit SplitField(std::string_view text)
{
    FieldSplit split;
    split.numScratch = NumberFromText(text);
    split.hi = std::floor(split.numScratch / 256);
    split.lo = split.numScratch - 256 * split.hi;
    return split;
}

Request ReadHoldingRequest(std::string_view address, FieldText first, FieldText count)
{
    return twoFieldRequest(address, 3, first, count);
}

Request WriteSingleRequest(std::string_view address, FieldText reg, FieldText value)
{
    return twoFieldRequest(address, 6, reg, value);
}

Request WriteMultipleRequest(std::string_view address, FieldText reg, FieldText value)
{
    // One register: quantity 00 01 and byte count 02 are fixed.
    return twoFieldRequest(address, 16, reg, value, std::string_view("\x00\x01\x02", 3));
}

Request ReportIdRequest(std::string_view address)
{
    FrameBuilder b;
    b.address(address);
    b.raw("\x11");
    return b.finish();
}

Request FreeFormRequest(std::string_view address, std::u32string_view body)
{
    FrameBuilder b;
    b.address(address);
    b.text(body);
    return b.finish();
}

Request RawTextRequest(std::u32string_view text)
{
    Request r;
    r.notSent = NoByteCode(text);
    if (r.notSent.empty())
        r.frame = *BytesFromCodePoints(text);
    return r;
}

} // namespace modbus
