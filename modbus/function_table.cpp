#include "function_table.h"

#include "crc16.h"
#include "device_identification.h"
#include "reply_details.h"
#include "reply_match.h"
#include "request_pdu.h"

#include <algorithm>
#include <vector>

namespace modbus {
namespace {

    bool never(std::string_view) { return false; }
    bool always(std::string_view) { return true; }
    // Only Return Query Data promises its data back unchanged.
    bool queryData(std::string_view request)
    {
        return request.size() >= 4 && ByteAt(request, 2) == 0 && ByteAt(request, 3) == 0;
    }

    using A = ArgField;
    using R = ReplyRule;
    using T = DataTable;
    constexpr Argument kStartCount[]
        = { { "START", A::Start, "Start" }, { "COUNT", A::Quantity, "Quantity" } };
    constexpr Argument kAddressBit[]
        = { { "ADDR", A::Start, "Address" }, { "0|1", A::Value, "Value (0 or 1)" } };
    constexpr Argument kAddressValue[]
        = { { "ADDR", A::Start, "Address" }, { "VALUE", A::Value, "Value" } };
    constexpr Argument kStartBits[]
        = { { "START", A::Start, "Start" }, { "BIT...", A::Values, "Coils (1 0 1 1)" } };
    constexpr Argument kStartValues[]
        = { { "START", A::Start, "Start" }, { "VALUE...", A::Values, "Values (10 0x1F -5)" } };
    constexpr Argument kMaskWrite[] = { { "ADDR", A::Start, "Address" },
        { "AND", A::Mask, "AND and OR masks" }, { "OR", A::Mask, "AND and OR masks" } };
    constexpr Argument kReadWrite[]
        = { { "RSTART", A::Start, "Read start" }, { "RCOUNT", A::Quantity, "Read count" },
              { "WSTART", A::WriteStart, "Write start" }, { "VALUE...", A::Values, "Values" } };
    constexpr Argument kDiagnostics[]
        = { { "SUB", A::Sub, "Sub-function" }, { "[HEX]", A::Data, "Data (hex)" } };
    constexpr Argument kFifo[] = { { "ADDR", A::Start, "FIFO address" } };
    constexpr std::span<const Argument> kNothing;
    constexpr Argument kDeviceId[]
        = { { "[basic|regular|extended|object]", A::ReadCode, "Read code (1-4)" },
              { "[ID]", A::ObjectId, "Object id" } };
    constexpr std::nullopt_t none = std::nullopt;
    constexpr EchoedField kCoil[] = { { "address" }, { "value", true } };
    constexpr EchoedField kRegister[] = { { "address" }, { "value" } };
    constexpr EchoedField kBlock[] = { { "start" }, { "quantity" } };
    constexpr EchoedField kMasks[] = { { "address" }, { "and_mask" }, { "or_mask" } };
    constexpr EchoedField kSub[] = { { "sub_function" } };
    constexpr std::span<const EchoedField> kNone;
    namespace d = details;
    namespace m = match;

    using W = WriteLayout;
    constexpr Written kCoil1 { T::Coils, W::One }, kRegister1 { T::Holding, W::One };
    constexpr Written kCoils { T::Coils, W::Block }, kRegisters { T::Holding, W::Block };
    constexpr Written kMasked { T::Holding, W::Masked };
    constexpr Written kSecond { T::Holding, W::Block, 6 }; // after the read's start and count
    // Requests of the address, the function, two 16-bit fields and the check bytes; of the
    // address, the function and the check bytes.
    constexpr RequestShape kFields { 8 }, kBare { 4 };

    // The functions the request language asks, then those only heard on a line.
    constexpr FunctionInfo kFunctions[] = {
        { 1, "1", "Read Coils", "read-coils", kStartCount, kFields, T::Coils, none, kNone,
            R::ByteCount, pdu::ReadBits, never, d::Bits, m::BitBytes },
        { 2, "2", "Read Discrete Inputs", "read-discrete", kStartCount, kFields, T::Inputs, none,
            kNone, R::ByteCount, pdu::ReadBits, never, d::Bits, m::BitBytes },
        { 3, "3", "Read Holding Registers", "read-holding", kStartCount, kFields, T::Holding, none,
            kNone, R::ByteCount, pdu::ReadRegisters, never, d::Registers, m::RegisterBytes },
        { 4, "4", "Read Input Registers", "read-input", kStartCount, kFields, T::InputRegisters,
            none, kNone, R::ByteCount, pdu::ReadRegisters, never, d::Registers, m::RegisterBytes },
        { 5, "5", "Write Single Coil", "write-coil", kAddressBit, kFields, none, kCoil1, kCoil,
            R::Fixed8, pdu::WriteCoil, always, d::CoilEcho, m::Echoed },
        { 6, "6", "Write Single Register", "write-register", kAddressValue, kFields, none,
            kRegister1, kRegister, R::Fixed8, pdu::WriteRegister, always, d::RegisterEcho,
            m::Echoed },
        { 8, "8", "Diagnostics", "diagnostics", kDiagnostics, kFields, none, none, kSub,
            R::AsRequest, pdu::Diagnostics, queryData, d::Diagnostics, m::SubFunction },
        { 15, "15", "Write Multiple Coils", "write-coils", kStartBits, { 0, 6 }, none, kCoils,
            kBlock, R::Fixed8, pdu::WriteCoils, never, d::BlockEcho, m::Echoed },
        { 16, "16", "Write Multiple Registers", "write-registers", kStartValues, { 0, 6 }, none,
            kRegisters, kBlock, R::Fixed8, pdu::WriteRegisters, never, d::BlockEcho, m::Echoed },
        { 17, "17", "Report Server ID", "server-id", kNothing, kBare, none, none, kNone,
            R::ByteCount, pdu::FunctionOnly, never, d::ServerId, m::Anything },
        { 22, "22", "Mask Write Register", "mask-write", kMaskWrite, { 10 }, none, kMasked, kMasks,
            R::Fixed10, pdu::MaskWrite, always, d::MaskEcho, m::Echoed },
        { 23, "23", "Read/Write Multiple Registers", "read-write", kReadWrite, { 0, 10 },
            T::Holding, kSecond, kNone, R::ByteCount, pdu::ReadWrite, never, d::Registers,
            m::RegisterBytes },
        { 24, "24", "Read FIFO Queue", "read-fifo", kFifo, { 6 }, none, none, kNone,
            R::TwoByteCount, pdu::ReadFifo, never, d::Fifo, m::FifoCount },
        // MEI type 14, a read code and an object id.
        { 43, "43/14", "Read Device Identification", "device-id", kDeviceId, { 7 }, none, none,
            kNone, R::DeviceObjects, pdu::DeviceId, never, d::DeviceId, m::DeviceObjects },
        // Serial-line functions another master may ask: cut by their length when heard.
        { 7, "7", {}, {}, kNothing, kBare, none, none, kNone, R::Unknown, nullptr, never, nullptr,
            m::Anything },
        { 11, "11", {}, {}, kNothing, kBare, none, none, kNone, R::Unknown, nullptr, never, nullptr,
            m::Anything },
        { 12, "12", {}, {}, kNothing, kBare, none, none, kNone, R::Unknown, nullptr, never, nullptr,
            m::Anything },
    };

    constexpr bool asked(const FunctionInfo& f) { return !f.command.empty(); }
    constexpr auto kAsked = std::size_t(std::ranges::count_if(kFunctions, asked));
    static_assert(std::all_of(kFunctions, kFunctions + kAsked, asked),
        "the functions the request language asks come first");

    constexpr std::size_t kMaxFrame = 256;

} // namespace

std::span<const FunctionInfo> Functions() { return std::span(kFunctions).first(kAsked); }

const FunctionInfo* FindFunction(std::uint8_t code)
{
    const auto* it = std::ranges::find(kFunctions, code, &FunctionInfo::code);
    return it == std::end(kFunctions) ? nullptr : it;
}

const FunctionInfo* FindCommand(std::string_view word)
{
    const auto* it = std::ranges::find(kFunctions, word, &FunctionInfo::command);
    return it == std::end(kFunctions) ? nullptr : it;
}

std::string CommandList(bool (*fits)(const FunctionInfo& f))
{
    std::vector<std::string_view> words;
    for (const FunctionInfo& f : Functions())
        if (fits(f))
            words.push_back(f.command);
    std::string text;
    for (std::size_t i = 0; i < words.size(); ++i)
        text.append(i == 0 ? "" : i + 1 < words.size() ? ", " : " or ").append(words[i]);
    return text;
}

bool PlainWrite(const FunctionInfo& f)
{
    return f.writes && f.writes->layout != WriteLayout::Masked && !f.reads;
}

const FunctionInfo* FindReader(DataTable table)
{
    const auto* it = std::ranges::find_if(
        kFunctions, [&](const FunctionInfo& f) { return f.reads == table && !f.writes; });
    return it == std::end(kFunctions) ? nullptr : it;
}

const FunctionInfo* FindWriter(DataTable table, WriteLayout layout)
{
    const auto* it = std::ranges::find_if(kFunctions, [&](const FunctionInfo& f) {
        return PlainWrite(f) && f.writes->table == table && f.writes->layout == layout;
    });
    return it == std::end(kFunctions) ? nullptr : it;
}

namespace {

    // Address, function, a byte count, what it counts, check bytes.
    std::optional<std::size_t> byteCounted(std::string_view bytes, std::size_t at)
    {
        if (bytes.size() < at + 3)
            return std::nullopt;
        return 5 + std::size_t(ByteAt(bytes, at + 2));
    }

    // Address, function, a 16-bit count, what it counts, check bytes. A count no frame could
    // hold tells nothing: the check bytes then end the frame.
    std::optional<std::size_t> wordCounted(std::string_view bytes, std::size_t at)
    {
        if (bytes.size() < at + 4)
            return std::nullopt;
        const std::size_t length = 6 + std::size_t(WordAt(bytes, at + 2));
        return length <= kMaxFrame ? length : 0;
    }

} // namespace

std::optional<std::size_t> ReplyFrameLength(
    std::string_view bytes, std::size_t at, std::string_view request)
{
    if (bytes.size() < at + 2)
        return std::nullopt;
    const std::uint8_t function = ByteAt(bytes, at + 1);
    if (function & 0x80)
        return 5; // address, function | 0x80, exception code, check bytes
    const FunctionInfo* info = FindFunction(function);
    if (!info)
        return 0;
    switch (info->reply) {
    case ReplyRule::ByteCount:
        return byteCounted(bytes, at);
    case ReplyRule::TwoByteCount:
        return wordCounted(bytes, at);
    case ReplyRule::Fixed8:
        return 8;
    case ReplyRule::Fixed10:
        return 10;
    case ReplyRule::AsRequest:
        // Diagnostics data has no length of its own: a reply is as long as what it answers.
        return request.size() >= 6 && ByteAt(request, 1) == function
            ? std::min(request.size(), kMaxFrame)
            : 8;
    case ReplyRule::DeviceObjects:
        if (const auto reply = ParseDeviceId(bytes, at))
            return reply->length;
        return std::nullopt;
    case ReplyRule::Unknown:
        return 0;
    }
    return 0;
}

std::optional<std::size_t> ExpectedReplyLength(std::string_view request)
{
    const FunctionInfo* info = request.size() < 4 ? nullptr : FindFunction(ByteAt(request, 1));
    const std::optional<ReadSpan> read = SpanOfRequest(request);
    switch (info ? info->reply : ReplyRule::Unknown) {
    case ReplyRule::ByteCount:
        if (!read)
            return std::nullopt;
        return 5 + (HoldsBits(read->table) ? (read->count + 7) / 8 : 2 * read->count);
    case ReplyRule::Fixed8:
        return 8;
    case ReplyRule::Fixed10:
        return 10;
    case ReplyRule::AsRequest:
        return request.size() >= 6 ? std::min(request.size(), kMaxFrame) : 8;
    default:
        return std::nullopt;
    }
}

std::optional<std::size_t> RequestFrameLength(std::string_view bytes, std::size_t at)
{
    if (bytes.size() < at + 2)
        return std::nullopt;
    const FunctionInfo* info = FindFunction(ByteAt(bytes, at + 1));
    if (!info)
        return 0;
    const RequestShape shape = info->request;
    if (shape.countAt == 0)
        return shape.length;
    if (bytes.size() <= at + shape.countAt)
        return std::nullopt;
    return shape.countAt + 1 + std::size_t(ByteAt(bytes, at + shape.countAt)) + 2;
}

bool ReplyCopiesRequest(std::string_view request)
{
    if (request.size() < 4)
        return false;
    const FunctionInfo* info = FindFunction(ByteAt(request, 1));
    return info && info->copies(request);
}

namespace {

    // "5, 6, 15, 16, 22"
    std::string broadcastCodes()
    {
        std::string codes;
        for (const FunctionInfo& f : kFunctions)
            if (BroadcastAllowed(f.code))
                codes += (codes.empty() ? "" : ", ") + std::to_string(f.code);
        return codes;
    }

} // namespace

bool BroadcastAllowed(std::uint8_t function)
{
    const FunctionInfo* info = FindFunction(function);
    return info && info->writes && !info->reads;
}

BuiltRequest BuildRequest(int slave, const RequestFields& fields)
{
    if (slave < 0 || slave > 255)
        return { {}, "the slave address must be 0..255" };
    ByteString frame(1, CharOf(std::uint8_t(slave)));
    if (fields.raw) {
        if (fields.data.empty())
            return { {}, "the body is empty" };
        frame += fields.data;
    } else {
        const FunctionInfo* info = FindFunction(fields.function);
        if (!info || !info->build)
            return { {}, "function " + std::to_string(fields.function) + " is not in the table" };
        if (slave == 0 && !BroadcastAllowed(fields.function))
            return { {},
                "address 0 is a broadcast, which nobody answers: only writes (" + broadcastCodes()
                    + ") may go to it" };
        ByteString pdu;
        if (std::string why = info->build(fields, pdu); !why.empty())
            return { {}, why };
        frame += pdu;
    }
    if (frame.size() + 2 > kMaxFrame)
        return { {}, "the frame is over 256 bytes" };
    if (fields.check == CheckBytes::None)
        return { frame, {} };
    ByteString check = *CRC16(frame);
    if (fields.check == CheckBytes::Wrong)
        check[0] = CharOf(std::uint8_t(~ByteAt(check, 0)));
    return { frame + check, {} };
}

} // namespace modbus
