#include "comm_mode.h"

#include <cctype>
#include <charconv>
#include <string>
#include <vector>

namespace comm {
namespace {

    std::string lower(std::string_view s)
    {
        std::string out(s);
        for (char& c : out)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return out;
    }

    std::string_view trim(std::string_view s)
    {
        while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front())))
            s.remove_prefix(1);
        while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back())))
            s.remove_suffix(1);
        return s;
    }

    std::optional<Dword> whole(std::string_view s)
    {
        Dword value = 0;
        const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
        if (ec != std::errc() || end != s.data() + s.size() || s.empty())
            return std::nullopt;
        return value;
    }

    bool setParity(Dcb& dcb, std::string_view s)
    {
        static constexpr std::pair<char, Byte> kParity[] = {
            { 'n', kNoParity },
            { 'o', kOddParity },
            { 'e', kEvenParity },
            { 'm', kMarkParity },
            { 's', kSpaceParity },
        };
        if (s.size() != 1)
            return false;
        for (const auto& [letter, parity] : kParity) {
            if (std::tolower(static_cast<unsigned char>(s[0])) == letter) {
                dcb.Parity = parity;
                return true;
            }
        }
        return false;
    }

    bool setData(Dcb& dcb, std::string_view s)
    {
        const auto bits = whole(s);
        if (!bits || *bits < 5 || *bits > 8)
            return false;
        dcb.ByteSize = static_cast<Byte>(*bits);
        return true;
    }

    bool setStop(Dcb& dcb, std::string_view s)
    {
        if (s == "1")
            dcb.StopBits = kOneStopBit;
        else if (s == "1.5")
            dcb.StopBits = kOne5StopBits;
        else if (s == "2")
            dcb.StopBits = kTwoStopBits;
        else
            return false;
        return true;
    }

    bool setBaud(Dcb& dcb, std::string_view s)
    {
        const auto baud = whole(s);
        if (!baud || *baud == 0)
            return false;
        dcb.BaudRate = *baud;
        return true;
    }

    std::vector<std::string_view> split(std::string_view text, char separator)
    {
        std::vector<std::string_view> parts;
        std::size_t start = 0;
        for (;;) {
            const std::size_t end = text.find(separator, start);
            parts.push_back(trim(text.substr(start, end - start)));
            if (end == std::string_view::npos)
                return parts;
            start = end + 1;
        }
    }

    // "9600,n,8,1": speed first; parity, data and stop bits may be left out.
    std::optional<Dcb> parseCommaForm(std::string_view text, Dcb dcb)
    {
        const auto parts = split(text, ',');
        if (parts.size() > 4 || !setBaud(dcb, parts[0]))
            return std::nullopt;
        bool (*const setters[])(Dcb&, std::string_view) = { setParity, setData, setStop };
        for (std::size_t i = 1; i < parts.size(); ++i) {
            if (!setters[i - 1](dcb, parts[i]))
                return std::nullopt;
        }
        return dcb;
    }

    // "baud=9600 parity=N data=8 stop=1", keys in any order, each at most once.
    std::optional<Dcb> parseKeyForm(std::string_view text, Dcb dcb)
    {
        bool seen[4] = {};
        for (std::string_view item : split(text, ' ')) {
            if (item.empty())
                continue;
            const std::size_t eq = item.find('=');
            if (eq == std::string_view::npos)
                return std::nullopt;
            const std::string key = lower(trim(item.substr(0, eq)));
            const std::string_view value = trim(item.substr(eq + 1));
            static constexpr const char* kKeys[] = { "baud", "parity", "data", "stop" };
            bool (*const setters[])(Dcb&, std::string_view)
                = { setBaud, setParity, setData, setStop };
            int index = -1;
            for (int k = 0; k < 4; ++k)
                if (key == kKeys[k])
                    index = k;
            if (index < 0 || seen[index] || !setters[index](dcb, value))
                return std::nullopt;
            seen[index] = true;
        }
        if (!seen[0])
            return std::nullopt;
        return dcb;
    }

} // namespace

std::optional<Dcb> ParseCommMode(std::string_view text)
{
    text = trim(text);
    if (text.size() > 4 && lower(text.substr(0, 3)) == "com"
        && text.find(':') != std::string_view::npos)
        text = trim(text.substr(text.find(':') + 1)); // "COM1: 9600,n,8,1" names its port first
    Dcb dcb {};
    dcb.DCBlength = sizeof(Dcb);
    dcb.ByteSize = 8;
    dcb.Parity = kNoParity;
    dcb.StopBits = kOneStopBit;
    if (text.empty())
        return std::nullopt;
    if (text.find('=') != std::string_view::npos)
        return parseKeyForm(text, dcb);
    return parseCommaForm(text, dcb);
}

} // namespace comm
