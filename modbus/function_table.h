// What each Modbus function code means, in one place: its name, its word in the request
// language, how its request is built and how long it is, what it reads or writes, how long its
// reply is, whether a good reply copies the request, and how the reply is laid out in the
// details. Every place that asks "what is this frame?" reads this table; adding a function is
// one entry.
#pragma once

#include "byte_string.h"
#include "detail_table.h"
#include "read_values.h"
#include "request_fields.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace modbus {

// Where one argument of a command goes in the request's fields. Value and Mask take one value
// each (a mask is shown in hex), Values all that are left; Data, ReadCode and ObjectId may be
// left out.
enum class ArgField {
    Start,
    Quantity,
    WriteStart,
    Sub,
    Value,
    Mask,
    Values,
    Data,
    ReadCode,
    ObjectId
};

// One argument after a command's word: "read-input START COUNT" has two.
struct Argument
{
    std::string_view word; // in the usage: "START", "0|1", "VALUE...", "[HEX]"
    ArgField field;
    std::string_view label; // its caption in the composer: "Start"
};

// How long a request is, check bytes included: fixed, or a byte count at countAt from the
// frame's start and the bytes around it.
struct RequestShape
{
    std::uint8_t length; // 0: counted
    std::uint8_t countAt = 0;
};

// How a write lays out what it puts in place.
enum class WriteLayout {
    One, // the address, then one value (a coil as 0xFF00 or 0)
    Block, // the start, the quantity, a byte count and the values packed
    Masked, // AND and OR masks: what it leaves depends on what was there
};

struct Written
{
    DataTable table;
    WriteLayout layout;
    std::uint8_t at = 2; // the frame offset of its address or start
};

// How a reply's length follows from its first bytes (or from its request). TwoByteCount: a
// 16-bit count after the function (24). Unknown: its check bytes or the silence after it end it.
enum class ReplyRule {
    ByteCount,
    TwoByteCount,
    Fixed8,
    Fixed10,
    AsRequest,
    DeviceObjects,
    Unknown
};

// A 16-bit field from byte 2 on that a good reply repeats from its request.
struct EchoedField
{
    std::string_view name; // "address", "value", "and_mask"
    bool bit = false; // a coil's value: 0xFF00 on, 0 off
};

// A function the terminal only hears another master ask (7, 11, 12) has no name, command,
// builder or decoder (build and details are null): the table knows how long its request is, and
// nothing of its reply.
struct FunctionInfo
{
    std::uint8_t code;
    std::string_view label; // "3", "43/14"
    std::string_view name; // "Read Holding Registers"
    std::string_view command; // "read-holding"
    std::span<const Argument> arguments;
    RequestShape request;
    std::optional<DataTable> reads; // the table a read reads, values numbered from byte 2 on
    std::optional<Written> writes; // what a write puts in place
    std::span<const EchoedField> echoed; // what a good reply repeats, in order
    ReplyRule reply;
    // The PDU (function code first) from the fields; returns why not, empty when built.
    std::string (*build)(const RequestFields& fields, ByteString& pdu);
    // Whether a good reply to this request (a whole frame) repeats it byte for byte.
    bool (*copies)(std::string_view request);
    DetailTable (*details)(std::string_view reply, std::string_view request, WordOrder order);
    // What a good reply to request differs in (quantity, echoed fields), empty when it fits.
    std::string (*fits)(std::string_view request, std::string_view reply);
};

// The functions the request language asks, in the order of their codes.
std::span<const FunctionInfo> Functions();
const FunctionInfo* FindFunction(std::uint8_t code);
const FunctionInfo* FindCommand(std::string_view word);

// The command words of the functions that fit, as a sentence: "read-coils, read-holding or
// read-write".
std::string CommandList(bool (*fits)(const FunctionInfo& f));

// A write of the values it carries that reads nothing: 5, 6, 15, 16.
bool PlainWrite(const FunctionInfo& f);
// The plain read of a table (1, 2, 3, 4); the plain write of one value or a block to it, null
// for a table nothing writes.
const FunctionInfo* FindReader(DataTable table);
const FunctionInfo* FindWriter(DataTable table, WriteLayout layout);

// Bytes the reply starting at bytes[at] takes, check bytes included: 0 when its function code
// does not say, nullopt when more bytes are needed to tell. request: the frame it answers,
// empty when none is known.
std::optional<std::size_t> ReplyFrameLength(
    std::string_view bytes, std::size_t at, std::string_view request = {});

// Bytes a good reply to this request frame takes, check bytes included, as far as the request
// tells: nullopt when only the reply says (17, 24, 43/14).
std::optional<std::size_t> ExpectedReplyLength(std::string_view request);

// Bytes the request starting at bytes[at] takes, check bytes included, as a listener that sent
// nothing cuts frames: 0 when its function code does not say, nullopt when more bytes are
// needed to tell.
std::optional<std::size_t> RequestFrameLength(std::string_view bytes, std::size_t at);

// Whether a good reply to this request frame is a copy of it (5, 6, 8/0, 22).
bool ReplyCopiesRequest(std::string_view request);

// The whole frame for a slave: address, PDU, check bytes (as fields.check says). frame is empty
// and the reason returned when the fields cannot make a request.
struct BuiltRequest
{
    ByteString frame;
    std::string notSent;
};
// Address 0 reaches every slave and none answers: the standard allows only writes there, and
// not 23, whose reads would never come back.
bool BroadcastAllowed(std::uint8_t function);
BuiltRequest BuildRequest(int slave, const RequestFields& fields);

} // namespace modbus
