// The request language the composer shows, quillet-cli takes and check files and --poll use:
// "read-input 0 10", "write-registers 20 1 2 3", "raw 04 00 00 00 02". One parser and one
// printer, so a command printed from fields parses back to the same fields.
#pragma once

#include "modbus/request_fields.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace modbus {

struct ParsedRequest
{
    RequestFields fields;
    std::string error; // empty when the command parsed
};

// Checks the words and their numbers; the standard's limits are BuildRequest's to check.
ParsedRequest ParseRequest(std::string_view command);
ParsedRequest ParseRequest(const std::vector<std::string>& words);
std::string PrintRequest(const RequestFields& fields);
// The words of a command, split at blanks.
std::vector<std::string> CommandWords(std::string_view text);

// "10", "0x1F", "-5"; nullopt for anything else, or beyond 32 bits.
std::optional<std::int64_t> ParseInteger(std::string_view word);
// "1,3,5-8": numbers and ranges within lowest..highest, in the order given, each once; nullopt
// for anything else.
std::optional<std::vector<int>> ParseNumberList(std::string_view text, int lowest, int highest);
// A whole number as ParseInteger reads it, or a decimal one: "21.5", "-3e2".
std::optional<double> ParseNumber(std::string_view word);
// words[from..end) joined by single blanks.
std::string JoinWords(const std::vector<std::string>& words, std::size_t from, std::size_t end);
// "04 00 00 00 02", "0400000002", "04,00"; nullopt for an odd digit count or a non-hex digit.
std::optional<ByteString> ParseHexBytes(std::string_view text);

// The command words with their arguments, one a line, for usage texts.
std::string RequestUsage();

} // namespace modbus
