#include "request_language.h"

#include "function_table.h"
#include "number_format.h"

#include <charconv>

namespace modbus {
namespace {

    using Words = std::vector<std::string>;

} // namespace

std::vector<std::string> CommandWords(std::string_view text)
{
    std::vector<std::string> words;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t begin = text.find_first_not_of(" \t\r\n", at);
        if (begin == std::string_view::npos)
            break;
        const std::size_t end = std::min(text.find_first_of(" \t\r\n", begin), text.size());
        words.emplace_back(text.substr(begin, end - begin));
        at = end;
    }
    return words;
}

namespace {

    constexpr std::string_view kReadCodes[] = { "", "basic", "regular", "extended", "object" };

    std::string_view argumentsOf(Syntax syntax)
    {
        switch (syntax) {
        case Syntax::StartCount:
            return "START COUNT";
        case Syntax::AddressBit:
            return "ADDR 0|1";
        case Syntax::AddressValue:
            return "ADDR VALUE";
        case Syntax::StartBits:
            return "START BIT...";
        case Syntax::StartValues:
            return "START VALUE...";
        case Syntax::MaskWrite:
            return "ADDR AND OR";
        case Syntax::ReadWrite:
            return "RSTART RCOUNT WSTART VALUE...";
        case Syntax::Diagnostics:
            return "SUB [HEX]";
        case Syntax::Nothing:
            return "";
        case Syntax::DeviceId:
            return "[basic|regular|extended|object] [ID]";
        }
        return "";
    }

    std::string commandUsage(const FunctionInfo& f)
    {
        const std::string_view arguments = argumentsOf(f.syntax);
        return std::string(f.command) + (arguments.empty() ? "" : " ") + std::string(arguments);
    }

    // Reads the words of one command into fields, or says what is wrong with them.
    class Reader
    {
    public:
        Reader(const Words& words, std::string_view usage)
            : words_(words)
            , usage_(usage)
        { }

        bool number(std::size_t i, std::int64_t& out)
        {
            const auto value = i < words_.size() ? ParseInteger(words_[i]) : std::nullopt;
            if (value)
                out = *value;
            else if (error.empty())
                error
                    = i < words_.size() ? "not a number: \"" + words_[i] + "\"" : "too few numbers";
            return bool(value);
        }

        bool unsignedAt(std::size_t i, unsigned& out)
        {
            std::int64_t value = 0;
            if (!number(i, value))
                return false;
            if (value < 0 && error.empty())
                error = "a negative address or count: " + words_[i];
            out = unsigned(value < 0 ? 0 : value);
            return value >= 0;
        }

        void values(std::size_t from, std::vector<std::int64_t>& out)
        {
            if (from >= words_.size() && error.empty())
                error = "no values";
            for (std::size_t i = from; i < words_.size(); ++i)
                if (std::int64_t v = 0; number(i, v))
                    out.push_back(v);
        }

        void count(std::size_t n)
        {
            if (words_.size() != n && error.empty())
                error = "takes " + std::to_string(n - 1) + " arguments";
        }

        std::string result() const
        {
            return error.empty() ? error : error + " (" + std::string(usage_) + ")";
        }

        std::string error;

    private:
        const Words& words_;
        std::string_view usage_;
    };

    void readDeviceId(const Words& w, RequestFields& fields, Reader& r)
    {
        fields.readCode = 1;
        std::size_t next = 1;
        for (unsigned code = 1; code < std::size(kReadCodes) && w.size() > 1; ++code)
            if (w[1] == kReadCodes[code]) {
                fields.readCode = code;
                next = 2;
            }
        if (w.size() > next)
            r.unsignedAt(next, fields.objectId);
        if (w.size() > next + 1)
            r.count(next + 1);
    }

    void readArguments(const Words& w, RequestFields& fields, Syntax syntax, Reader& r)
    {
        switch (syntax) {
        case Syntax::StartCount:
            r.count(3);
            r.unsignedAt(1, fields.start) && r.unsignedAt(2, fields.quantity);
            return;
        case Syntax::AddressBit:
        case Syntax::AddressValue:
        case Syntax::MaskWrite: // an address and a set number of values
            r.count(syntax == Syntax::MaskWrite ? 4 : 3);
            [[fallthrough]];
        case Syntax::StartBits:
        case Syntax::StartValues:
            r.unsignedAt(1, fields.start);
            r.values(2, fields.values);
            return;
        case Syntax::ReadWrite:
            r.unsignedAt(1, fields.start) && r.unsignedAt(2, fields.quantity)
                && r.unsignedAt(3, fields.writeStart);
            r.values(4, fields.values);
            return;
        case Syntax::Diagnostics:
            r.unsignedAt(1, fields.sub);
            return;
        case Syntax::Nothing:
            r.count(1);
            return;
        case Syntax::DeviceId:
            readDeviceId(w, fields, r);
            return;
        }
    }

    ParsedRequest parseRaw(const Words& w)
    {
        ParsedRequest parsed;
        parsed.fields.raw = true;
        std::size_t end = w.size();
        if (end > 1 && (w[end - 1] == "no-crc" || w[end - 1] == "bad-crc"))
            parsed.fields.check = w[--end] == "no-crc" ? CheckBytes::None : CheckBytes::Wrong;
        const auto body = ParseHexBytes(JoinWords(w, 1, end));
        if (!body || body->empty())
            parsed.error = "raw takes the body in hex, function code first: raw 04 00 00 00 02";
        else {
            parsed.fields.data = *body;
            parsed.fields.function = ByteAt(*body, 0);
        }
        return parsed;
    }

    std::vector<std::string> argumentWords(const RequestFields& fields, Syntax syntax)
    {
        std::vector<std::string> words;
        const auto addValues = [&] {
            for (const std::int64_t v : fields.values)
                words.push_back(syntax == Syntax::MaskWrite ? HexNumber(std::uint64_t(v) & 0xFFFF)
                                                            : Decimal(v));
        };
        switch (syntax) {
        case Syntax::StartCount:
            return { Decimal(fields.start), Decimal(fields.quantity) };
        case Syntax::ReadWrite:
            words = { Decimal(fields.start), Decimal(fields.quantity), Decimal(fields.writeStart) };
            addValues();
            return words;
        case Syntax::Diagnostics:
            if (fields.data.empty())
                return { Decimal(fields.sub) };
            return { Decimal(fields.sub), HexBytes(fields.data) };
        case Syntax::Nothing:
            return {};
        case Syntax::DeviceId:
            if (fields.readCode != 1 || fields.objectId != 0)
                words.emplace_back(kReadCodes[fields.readCode < 5 ? fields.readCode : 1]);
            if (fields.objectId != 0)
                words.push_back(Decimal(fields.objectId));
            return words;
        default: // an address or a start, then the values
            words = { Decimal(fields.start) };
            addValues();
            return words;
        }
    }

} // namespace

std::optional<std::int64_t> ParseInteger(std::string_view word)
{
    const bool negative = word.starts_with('-');
    if (negative)
        word.remove_prefix(1);
    int base = 10;
    if (word.starts_with("0x") || word.starts_with("0X")) {
        word.remove_prefix(2);
        base = 16;
    }
    std::uint32_t value = 0;
    const auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), value, base);
    if (word.empty() || ec != std::errc() || end != word.data() + word.size())
        return std::nullopt;
    return negative ? -std::int64_t(value) : std::int64_t(value);
}

std::optional<double> ParseNumber(std::string_view word)
{
    if (const auto integer = ParseInteger(word))
        return double(*integer);
    double value = 0;
    const auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), value);
    return ec == std::errc() && end == word.data() + word.size() && !word.empty()
        ? std::optional(value)
        : std::nullopt;
}

std::string JoinWords(const std::vector<std::string>& words, std::size_t from, std::size_t end)
{
    std::string text;
    for (std::size_t i = from; i < end; ++i)
        text += (i > from ? " " : "") + words[i];
    return text;
}

std::optional<ByteString> ParseHexBytes(std::string_view text)
{
    std::string digits;
    for (const char c : text) {
        if (std::isxdigit(static_cast<unsigned char>(c)))
            digits += c;
        else if (c != ' ' && c != ',' && c != ':' && c != '\t')
            return std::nullopt;
    }
    if (digits.size() % 2)
        return std::nullopt;
    ByteString bytes;
    for (std::size_t i = 0; i < digits.size(); i += 2)
        bytes.push_back(CharOf(std::uint8_t(std::stoi(digits.substr(i, 2), nullptr, 16))));
    return bytes;
}

ParsedRequest ParseRequest(std::string_view command) { return ParseRequest(CommandWords(command)); }

ParsedRequest ParseRequest(const std::vector<std::string>& words)
{
    if (words.empty())
        return { {}, "no command" };
    if (words[0] == "raw")
        return parseRaw(words);
    const FunctionInfo* info = FindCommand(words[0]);
    if (!info)
        return { {}, "unknown command \"" + words[0] + "\"" };
    ParsedRequest parsed;
    parsed.fields.function = info->code;
    const std::string usage = commandUsage(*info);
    Reader reader(words, usage);
    readArguments(words, parsed.fields, info->syntax, reader);
    if (info->syntax == Syntax::Diagnostics)
        parsed.fields.data = ByteString(2, '\0'); // the standard's requests carry 00 00
    if (info->syntax == Syntax::Diagnostics && reader.error.empty() && words.size() > 2) {
        const auto data = ParseHexBytes(JoinWords(words, 2, words.size()));
        if (data)
            parsed.fields.data = *data;
        else
            reader.error = "the data is not hex";
    }
    parsed.error = reader.result();
    return parsed;
}

std::string PrintRequest(const RequestFields& fields)
{
    if (fields.raw) {
        const char* check = fields.check == CheckBytes::None ? " no-crc"
            : fields.check == CheckBytes::Wrong              ? " bad-crc"
                                                             : "";
        return "raw " + HexBytes(fields.data) + check;
    }
    const FunctionInfo* info = FindFunction(fields.function);
    if (!info)
        return {};
    std::string text(info->command);
    for (const std::string& word : argumentWords(fields, info->syntax))
        text += " " + word;
    return text;
}

std::string RequestUsage()
{
    std::string text;
    for (const FunctionInfo& f : Functions())
        text += commandUsage(f) + "\n";
    return text + "raw HEX [no-crc|bad-crc]\n";
}

} // namespace modbus
