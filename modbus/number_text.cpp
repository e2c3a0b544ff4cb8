#include "number_text.h"

#include <algorithm>
#include <charconv>
#include <limits>
#include <string>

namespace modbus {
namespace {

    bool isSkipped(char c) { return c == ' ' || c == '\t' || c == '\n'; }
    bool isDigit(char c) { return c >= '0' && c <= '9'; }

    std::string withoutBlanks(std::string_view text)
    {
        std::string kept;
        kept.reserve(text.size());
        for (char c : text) {
            if (!isSkipped(c))
                kept.push_back(c);
        }
        return kept;
    }

    int digitValue(char c)
    {
        if (isDigit(c))
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return 99;
    }

    double wholeNumberInBase(std::string_view digits, int base)
    {
        double value = 0;
        for (char c : digits) {
            const int d = digitValue(c);
            if (d >= base)
                break;
            value = value * base + d;
        }
        return value;
    }

    std::size_t skipDigits(std::string_view s, std::size_t i)
    {
        while (i < s.size() && isDigit(s[i]))
            ++i;
        return i;
    }

    // Length of the longest prefix of s that reads as [sign] digits [. digits] [E [sign] digits].
    std::size_t decimalPrefixLength(std::string_view s)
    {
        std::size_t i = 0;
        if (i < s.size() && (s[i] == '+' || s[i] == '-'))
            ++i;
        const std::size_t intStart = i;
        i = skipDigits(s, i);
        bool anyDigit = i > intStart;
        if (i < s.size() && s[i] == '.') {
            const std::size_t fracStart = i + 1;
            const std::size_t fracEnd = skipDigits(s, fracStart);
            anyDigit = anyDigit || fracEnd > fracStart;
            i = fracEnd;
        }
        if (!anyDigit)
            return 0;
        if (i < s.size() && (s[i] == 'E' || s[i] == 'e')) {
            std::size_t j = i + 1;
            if (j < s.size() && (s[j] == '+' || s[j] == '-'))
                ++j;
            const std::size_t expEnd = skipDigits(s, j);
            if (expEnd > j)
                i = expEnd;
        }
        return i;
    }

    // A saturating read of an exponent's digits: beyond a billion, only the sign matters.
    long long exponentOf(std::string_view text)
    {
        const bool negative = !text.empty() && text.front() == '-';
        if (!text.empty() && (text.front() == '-' || text.front() == '+'))
            text.remove_prefix(1);
        long long value = 0;
        for (char c : text)
            value = std::min(value * 10 + (c - '0'), 1'000'000'000LL);
        return negative ? -value : value;
    }

    // from_chars reports underflow and overflow alike. The power of ten of the first
    // significant digit tells them apart: "0.000...1" is tiny, with or without an exponent.
    // text is unsigned: digits [. digits] [E [sign] digits].
    bool isTiny(std::string_view text)
    {
        const std::size_t e = text.find_first_of("Ee");
        const long long exponent = e == std::string_view::npos ? 0 : exponentOf(text.substr(e + 1));
        const std::string_view mantissa = text.substr(0, e);
        const std::size_t point = std::min(mantissa.find('.'), mantissa.size());
        const std::size_t first = mantissa.find_first_not_of("0.");
        if (first == std::string_view::npos)
            return true; // all zeros
        const long long power
            = first < point ? (long long)(point - first) - 1 : -(long long)(first - point);
        return power + exponent < 0;
    }

    double parseDecimal(std::string_view number)
    {
        // from_chars rejects a leading '+', and is locale-independent, unlike strtod
        // (Qt sets the C library locale from the environment).
        const bool negative = number.front() == '-';
        if (number.front() == '+' || negative)
            number.remove_prefix(1);
        std::string text(number);
        if (text.front() == '.')
            text.insert(text.begin(), '0');
        double value = 0;
        const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
        if (ec == std::errc::result_out_of_range)
            value = isTiny(text) ? 0.0 : std::numeric_limits<double>::infinity();
        (void)end;
        return negative ? -value : value;
    }

} // namespace

double NumberFromText(std::string_view text)
{
    const std::string s = withoutBlanks(text);
    if (s.size() >= 2 && s[0] == '&') {
        if (s[1] == 'H' || s[1] == 'h')
            return wholeNumberInBase(std::string_view(s).substr(2), 16);
        if (s[1] == 'O' || s[1] == 'o')
            return wholeNumberInBase(std::string_view(s).substr(2), 8);
    }
    const std::size_t length = decimalPrefixLength(s);
    return length == 0 ? 0.0 : parseDecimal(std::string_view(s).substr(0, length));
}

} // namespace modbus
