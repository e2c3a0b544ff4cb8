#include "request_language.h"

#include "modbus/function_table.h"
#include "modbus/number_format.h"

#include <algorithm>
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

    std::string commandUsage(const FunctionInfo& f)
    {
        std::string usage(f.command);
        for (const Argument& a : f.arguments)
            usage.append(1, ' ').append(a.word); // "+" here trips a false -Wrestrict in GCC 12
        return usage;
    }

    // Whether a command takes a varying number of words: a list, or arguments left out.
    bool open(std::span<const Argument> arguments)
    {
        return std::ranges::any_of(arguments, [](const Argument& a) {
            return a.field == ArgField::Values || a.field == ArgField::Data
                || a.field == ArgField::ReadCode || a.field == ArgField::ObjectId;
        });
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

    // The plain number an argument names, or null for the others: one place for the four.
    template <typename Fields> auto numberField(ArgField field, Fields& f) -> decltype(&f.start)
    {
        switch (field) {
        case ArgField::Start:
            return &f.start;
        case ArgField::Quantity:
            return &f.quantity;
        case ArgField::WriteStart:
            return &f.writeStart;
        case ArgField::Sub:
            return &f.sub;
        default:
            return nullptr;
        }
    }

    // 8's data: what is left, in hex, else the standard's 00 00.
    std::size_t readData(const Words& w, std::size_t at, RequestFields& f, Reader& r)
    {
        f.data = ByteString(2, '\0');
        if (at < w.size() && r.error.empty()) {
            const auto data = ParseHexBytes(JoinWords(w, at, w.size()));
            f.data = data.value_or(f.data);
            if (!data)
                r.error = "the data is not hex";
        }
        return w.size();
    }

    // 43/14's read code by name, when one is given.
    std::size_t readCode(const Words& w, std::size_t at, RequestFields& f)
    {
        f.readCode = 1;
        for (unsigned code = 1; code < std::size(kReadCodes) && at < w.size(); ++code)
            if (w[at] == kReadCodes[code])
                return f.readCode = code, at + 1;
        return at;
    }

    // One argument at words[at] into its field; returns where the next begins.
    std::size_t readArgument(
        const Words& w, std::size_t at, const Argument& a, RequestFields& f, Reader& r)
    {
        if (unsigned* number = numberField(a.field, f))
            return r.unsignedAt(at, *number), at + 1;
        std::int64_t value = 0;
        switch (a.field) {
        case ArgField::Value:
        case ArgField::Mask:
            if (r.number(at, value))
                f.values.push_back(value);
            return at + 1;
        case ArgField::Values:
            r.values(at, f.values);
            return w.size();
        case ArgField::Data:
            return readData(w, at, f, r);
        case ArgField::ReadCode:
            return readCode(w, at, f);
        case ArgField::ObjectId:
            return at < w.size() ? (r.unsignedAt(at, f.objectId), at + 1) : at;
        default:
            return at;
        }
    }

    void readArguments(const Words& w, RequestFields& fields, const FunctionInfo& info, Reader& r)
    {
        if (!open(info.arguments))
            r.count(info.arguments.size() + 1);
        std::size_t at = 1;
        for (const Argument& a : info.arguments)
            at = readArgument(w, at, a, fields, r);
        if (at < w.size())
            r.count(at); // words beyond what may be left out
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

    // One argument's words as the parser reads them back; next: the values not yet shown.
    void argumentWords(const Argument& a, const RequestFields& f, std::size_t& next, Words& words)
    {
        const auto value = [&](bool hex) {
            if (next < f.values.size()) {
                const std::int64_t v = f.values[next++];
                words.push_back(hex ? HexNumber(std::uint64_t(v) & 0xFFFF) : Decimal(v));
            }
        };
        if (const unsigned* number = numberField(a.field, f))
            return words.push_back(Decimal(*number));
        if (a.field == ArgField::Value || a.field == ArgField::Mask)
            return value(a.field == ArgField::Mask);
        while (a.field == ArgField::Values && next < f.values.size())
            value(false);
        if (a.field == ArgField::Data && !f.data.empty())
            words.push_back(HexBytes(f.data));
        if (a.field == ArgField::ReadCode && (f.readCode != 1 || f.objectId != 0))
            words.emplace_back(kReadCodes[f.readCode < 5 ? f.readCode : 1]);
        if (a.field == ArgField::ObjectId && f.objectId != 0)
            words.push_back(Decimal(f.objectId));
    }

} // namespace

std::optional<std::vector<int>> ParseNumberList(std::string_view text, int lowest, int highest)
{
    std::vector<int> numbers;
    for (std::size_t from = 0; from <= text.size();) {
        const std::size_t comma = std::min(text.find(',', from), text.size());
        const std::string_view item = text.substr(from, comma - from);
        const std::size_t dash = item.find('-', 1);
        const auto first = ParseInteger(item.substr(0, dash));
        const auto last
            = dash == std::string_view::npos ? first : ParseInteger(item.substr(dash + 1));
        if (!first || !last || *first < lowest || *last > highest || *first > *last)
            return std::nullopt;
        for (auto n = *first; n <= *last; ++n)
            if (std::find(numbers.begin(), numbers.end(), int(n)) == numbers.end())
                numbers.push_back(int(n));
        from = comma + 1;
    }
    return numbers;
}

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
    readArguments(words, parsed.fields, *info, reader);
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
    Words words { std::string(info->command) };
    std::size_t next = 0;
    for (const Argument& a : info->arguments)
        argumentWords(a, fields, next, words);
    return JoinWords(words, 0, words.size());
}

std::string RequestUsage()
{
    std::string text;
    for (const FunctionInfo& f : Functions())
        text += commandUsage(f) + "\n";
    return text + "raw HEX [no-crc|bad-crc]\n";
}

} // namespace modbus
