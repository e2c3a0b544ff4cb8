#include "request_details.h"

#include "ascii_frame.h"
#include "crc16.h"
#include "function_table.h"
#include "number_format.h"

namespace modbus {
namespace {

    using Rows = std::vector<std::vector<std::string>>;

    std::string wordAt(std::string_view pdu, std::size_t at)
    {
        return pdu.size() < at + 2 ? "(missing)" : std::to_string(WordAt(pdu, at));
    }

    // The values a block write carries, from the byte after its count: registers as numbers,
    // coils as 0s and 1s.
    std::string blockValues(std::string_view pdu, std::size_t from, unsigned count, bool bits)
    {
        std::string text;
        for (unsigned i = 0; i < count; ++i) {
            const std::size_t at = bits ? from + i / 8 : from + 2 * i;
            if (at + (bits ? 1 : 2) > pdu.size())
                return text + (text.empty() ? "" : " ") + "(cut short)";
            text += (text.empty() ? "" : " ")
                + (bits ? std::to_string((ByteAt(pdu, at) >> (i % 8)) & 1)
                        : std::to_string(WordAt(pdu, at)));
        }
        return text;
    }

    // Writes, by the table's layout of them; pdu starts at the function code.
    void writeFields(const FunctionInfo& f, std::string_view pdu, std::size_t at, Rows& rows)
    {
        const bool bits = f.writes->table == DataTable::Coils;
        switch (f.writes->layout) {
        case WriteLayout::One:
            rows.push_back({ "Address", wordAt(pdu, at) });
            rows.push_back({ "Value",
                bits ? (WordAt(pdu, at + 2) == 0xFF00 ? "1 (FF 00)" : "0 (00 00)")
                     : wordAt(pdu, at + 2) });
            return;
        case WriteLayout::Masked:
            rows.push_back({ "Address", wordAt(pdu, at) });
            rows.push_back({ "AND mask", HexNumber(WordAt(pdu, at + 2), 4) });
            rows.push_back({ "OR mask", HexNumber(WordAt(pdu, at + 4), 4) });
            return;
        case WriteLayout::Block:
            rows.push_back({ f.reads ? "Write start" : "Start", wordAt(pdu, at) });
            rows.push_back({ f.reads ? "Write quantity" : "Quantity", wordAt(pdu, at + 2) });
            rows.push_back({ "Values", blockValues(pdu, at + 5, WordAt(pdu, at + 2), bits) });
        }
    }

    // Functions the table gives no reads or writes for: their arguments in order.
    void otherFields(const FunctionInfo& f, std::string_view pdu, Rows& rows)
    {
        std::size_t at = f.code == 43 ? 2 : 1; // 43's MEI type comes first
        for (const Argument& a : f.arguments) {
            if (a.field == ArgField::Data) {
                rows.push_back(
                    { std::string(a.label), HexBytes(pdu.substr(std::min(at, pdu.size()))) });
            } else if (a.field == ArgField::ReadCode || a.field == ArgField::ObjectId) {
                rows.push_back({ std::string(a.label), std::to_string(ByteAt(pdu, at++)) });
            } else {
                rows.push_back({ std::string(a.label), wordAt(pdu, at) });
                at += 2;
            }
        }
    }

} // namespace

DetailTable RequestDetails(std::string_view request)
{
    DetailTable table { { "Field", "Value" }, {}, {} };
    if (request.size() < 4)
        return table;
    const std::string_view pdu = request.substr(1, request.size() - 3);
    const FunctionInfo* f = FindFunction(ByteAt(pdu, 0));
    table.rows.push_back({ "Slave", std::to_string(ByteAt(request, 0)) });
    table.rows.push_back({ "Function",
        std::to_string(ByteAt(pdu, 0))
            + (f && !f->name.empty() ? " " + std::string(f->name) : "") });
    if (!f || !f->build) {
        table.rows.push_back({ "Data", HexBytes(pdu.substr(1)) });
        return table;
    }
    if (f->reads) {
        table.rows.push_back({ f->writes ? "Read start" : "Start", wordAt(pdu, 1) });
        table.rows.push_back({ f->writes ? "Read quantity" : "Quantity", wordAt(pdu, 3) });
    }
    if (f->writes)
        writeFields(*f, pdu, f->reads ? 5 : 1, table.rows);
    else if (!f->reads)
        otherFields(*f, pdu, table.rows);
    return table;
}

DetailTable BadCheckDetails(const FrameRow& row)
{
    DetailTable table { { "Field", "Value" }, {}, {} };
    const std::string_view frame = row.bytes;
    if (frame.size() < 4)
        return VerdictDetails(row);
    const std::string_view adu = frame.substr(0, frame.size() - 2);
    const bool ascii = !row.wire.empty() && row.wire.front() == ':';
    const std::string_view wire = row.wire;
    const std::size_t lrcAt = wire.size() >= 4 ? wire.size() - 4 : 0; // before CR LF
    table.rows.push_back({ "Verdict", row.verdict });
    table.rows.push_back({ ascii ? "LRC received" : "CRC received",
        ascii ? std::string(wire.substr(lrcAt, 2)) : HexBytes(frame.substr(frame.size() - 2)) });
    table.rows.push_back({ ascii ? "LRC expected" : "CRC expected",
        ascii ? HexBytes(ByteString(1, CharOf(Lrc(adu)))) : HexBytes(*CRC16(ByteString(adu))) });
    table.rows.push_back(
        { "Values", "withheld: bytes the check does not vouch for are no values" });
    return table;
}

DetailTable VerdictDetails(const FrameRow& row, const std::string& note)
{
    DetailTable table { { "Field", "Value" }, {}, {} };
    table.rows.push_back({ "Verdict", row.verdict });
    if (!row.function.empty())
        table.rows.push_back({ "Function", row.function });
    if (!row.bytes.empty())
        table.rows.push_back({ "Bytes", HexBytes(row.bytes) });
    if (!row.request.empty())
        table.rows.push_back({ "Request", HexBytes(row.request) });
    if (!note.empty())
        table.rows.push_back({ "Hint", note });
    return table;
}

} // namespace modbus
