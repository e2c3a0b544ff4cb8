#include "workspace.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <filesystem>

namespace modbus {
namespace {

    using json = nlohmann::json;
    namespace fs = std::filesystem;

    constexpr int kVersion = 1;
    constexpr std::size_t kLargest = 1 << 20; // a workspace is a small file
    constexpr int kDeepest = 32;

    constexpr const char* kOrders[] = { "ABCD", "CDAB", "BADC", "DCBA" };
    constexpr std::pair<char, const char*> kParities[]
        = { { 'n', "none" }, { 'e', "even" }, { 'o', "odd" } };

    int lineAt(std::string_view text, std::size_t at)
    {
        at = std::min(at, text.size());
        return 1 + int(std::count(text.begin(), text.begin() + long(at), '\n'));
    }

    // Where a key is written: its first appearance, for a refusal to name the line.
    int lineOfKey(std::string_view text, const std::string& key)
    {
        const std::size_t at = text.find('"' + key + '"');
        return lineAt(text, at == std::string_view::npos ? 0 : at);
    }

    // The deepest nesting of arrays and objects, outside strings: a parser of a hostile file
    // must not recurse without bound.
    int depthOf(std::string_view text)
    {
        int depth = 0, deepest = 0;
        bool inString = false;
        for (std::size_t i = 0; i < text.size(); ++i) {
            const char c = text[i];
            if (inString)
                i += c == '\\' ? 1 : 0, inString = c != '"';
            else if (c == '"')
                inString = true;
            else if (c == '[' || c == '{')
                deepest = std::max(deepest, ++depth);
            else if (c == ']' || c == '}')
                --depth;
        }
        return deepest;
    }

    std::optional<int> intIn(const json& v, int low, int high)
    {
        if (!v.is_number_integer())
            return std::nullopt;
        const auto n = v.get<std::int64_t>();
        return n >= low && n <= high ? std::optional(int(n)) : std::nullopt;
    }

    // Reads one key's value into the workspace; the reason when it cannot.
    using KeyReader = std::string (*)(const json&, Workspace&);
    struct Key
    {
        const char* name;
        KeyReader read;
    };

    std::string readText(const json& v, std::optional<std::string>& to, const char* what)
    {
        if (!v.is_string())
            return std::string(what) + " must be text";
        to = v.get<std::string>();
        return {};
    }

    std::string readInt(const json& v, std::optional<int>& to, int low, int high, const char* what)
    {
        to = intIn(v, low, high);
        return to ? std::string() : std::string(what);
    }

    std::string readParity(const json& v, Workspace& w)
    {
        for (const auto& [letter, name] : kParities)
            if (v == name)
                return w.parity = letter, std::string();
        return "the parity must be \"none\", \"even\" or \"odd\"";
    }

    // Only a speed a port takes: a workspace that opens is a bench that works.
    std::string readSpeed(const json& v, Workspace& w)
    {
        static constexpr int kSpeeds[]
            = { 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200, 230400 };
        w.speed = intIn(v, 1, 4'000'000);
        if (w.speed && std::ranges::find(kSpeeds, *w.speed) != std::end(kSpeeds))
            return {};
        return "the speed must be one of 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200 "
               "and 230400";
    }

    std::string readEcho(const json& v, Workspace& w)
    {
        w.echo = v.is_string() ? EchoFromName(v.get<std::string>()) : std::nullopt;
        return w.echo ? std::string() : "the echo must be \"off\", \"on\" or \"auto\"";
    }

    std::string readOrder(const json& v, Workspace& w)
    {
        for (std::size_t i = 0; i < std::size(kOrders); ++i)
            if (v == kOrders[i])
                return w.order = WordOrder(i), std::string();
        return "the word order must be ABCD, CDAB, BADC or DCBA";
    }

    std::string readRequests(const json& v, Workspace& w)
    {
        if (!v.is_array() || !std::ranges::all_of(v, [](const json& r) { return r.is_string(); }))
            return "the requests must be a list of commands";
        w.requests = v.get<std::vector<std::string>>();
        return {};
    }

    std::string readFraming(const json& v, Workspace& w)
    {
        for (const Framing framing : { Framing::Rtu, Framing::Ascii })
            if (v == FramingWord(framing))
                return w.framing = framing, std::string();
        return "the framing must be \"rtu\" or \"ascii\"";
    }

    constexpr Key kLineKeys[] = {
        { "speed", readSpeed },
        { "framing", readFraming },
        { "dataBits",
            [](const json& v, Workspace& w) {
                return readInt(v, w.dataBits, 7, 8, "the data bits must be 7 or 8");
            } },
        { "parity", readParity },
        { "echo", readEcho },
        { "stopBits",
            [](const json& v, Workspace& w) {
                return readInt(v, w.stopBits, 1, 2, "the stop bits must be 1 or 2");
            } },
    };

    constexpr Key kPollKeys[] = {
        { "intervalMs",
            [](const json& v, Workspace& w) {
                return readInt(
                    v, w.intervalMs, 0, 86'400'000, "the interval must be 0..86400000 ms");
            } },
        { "count",
            [](const json& v, Workspace& w) {
                return readInt(v, w.count, 0, 1'000'000'000, "the count must be 0 or more");
            } },
        { "timeoutMs",
            [](const json& v, Workspace& w) {
                return readInt(v, w.timeoutMs, 1, 60'000, "the time-out must be 1..60000 ms");
            } },
        { "byteTimeoutMs",
            [](const json& v, Workspace& w) {
                return readInt(
                    v, w.byteTimeoutMs, 1, 60'000, "the byte time-out must be 1..60000 ms");
            } },
        { "graceMs",
            [](const json& v, Workspace& w) {
                return readInt(v, w.graceMs, 0, 60'000, "the grace must be 0..60000 ms");
            } },
    };

    struct Reading
    {
        std::string_view text;
        OpenedWorkspace out;

        void readKeys(const json& object, std::span<const Key> keys, const std::string& where);
        void readNested(const json& v, std::span<const Key> keys, const std::string& key)
        {
            if (v.is_object())
                readKeys(v, keys, key + ".");
            else
                out.refused.push_back("line " + std::to_string(lineOfKey(text, key)) + ": \"" + key
                    + "\" must be an object");
        }
    };

    constexpr Key kTopKeys[] = {
        { "port", [](const json& v, Workspace& w) { return readText(v, w.port, "the port"); } },
        { "slave",
            [](const json& v, Workspace& w) {
                return readInt(v, w.slave, 0, 255, "the slave address or unit id must be 0..255");
            } },
        { "command",
            [](const json& v, Workspace& w) { return readText(v, w.command, "the command"); } },
        { "requests", readRequests },
        { "map", [](const json& v, Workspace& w) { return readText(v, w.map, "the map's path"); } },
        { "wordOrder", readOrder },
    };

    void Reading::readKeys(const json& object, std::span<const Key> keys, const std::string& where)
    {
        for (const auto& item : object.items()) {
            const std::string& name = item.key();
            const json& value = item.value();
            const std::string line = "line " + std::to_string(lineOfKey(text, name)) + ": ";
            const auto key
                = std::ranges::find_if(keys, [&](const Key& k) { return name == k.name; });
            if (where.empty() && name == "line")
                readNested(value, kLineKeys, name);
            else if (where.empty() && name == "poll")
                readNested(value, kPollKeys, name);
            else if (where.empty() && (name == "format" || name == "version"))
                continue;
            else if (key == keys.end())
                out.notices.push_back(
                    line + "\"" + where + name + "\" is not known to this version and is left out");
            else if (std::string why = key->read(value, out.workspace); !why.empty())
                out.refused.push_back(line + why);
        }
    }

    fs::path utf8Path(const std::string& text)
    {
        return fs::path(std::u8string(text.begin(), text.end()));
    }

    std::string utf8Text(const fs::path& path)
    {
        const std::u8string text = path.generic_u8string();
        return std::string(text.begin(), text.end());
    }

    fs::path absoluteOf(const std::string& text)
    {
        std::error_code ignored;
        const fs::path p = fs::absolute(utf8Path(text), ignored);
        return (p.empty() ? utf8Path(text) : p).lexically_normal();
    }

} // namespace

OpenedWorkspace ReadWorkspace(std::string_view text)
{
    if (text.size() > kLargest)
        return { {}, { "line 1: too large for a workspace (over 1 MiB)" }, {} };
    if (depthOf(text) > kDeepest)
        return { {}, { "line 1: nested deeper than a workspace ever is" }, {} };
    json root;
    try {
        root = json::parse(text);
    } catch (const json::exception& e) {
        const auto* parse = dynamic_cast<const json::parse_error*>(&e);
        const std::string what = e.what();
        const std::size_t dash = what.rfind(" - ");
        return { {},
            { "line " + std::to_string(lineAt(text, parse ? parse->byte - 1 : 0)) + ": not JSON"
                + (dash == std::string::npos ? "" : ": " + what.substr(dash + 3)) },
            {} };
    }
    if (!root.is_object())
        return { {}, { "line 1: a workspace is a JSON object" }, {} };
    Reading reading { text, {} };
    reading.readKeys(root, kTopKeys, "");
    if (const auto version = root.find("version");
        version != root.end() && (!version->is_number_integer() || *version > kVersion))
        reading.out.notices.insert(reading.out.notices.begin(),
            "line " + std::to_string(lineOfKey(text, "version"))
                + ": written by a newer version; what this one does not know is left out");
    if (!reading.out.refused.empty())
        reading.out.workspace = {};
    return reading.out;
}

namespace {

    // A key only for a value the workspace holds.
    template <typename Value>
    void put(nlohmann::ordered_json& object, const char* key, const std::optional<Value>& value)
    {
        if (value)
            object[key] = *value;
    }

    nlohmann::ordered_json lineOf(const Workspace& w)
    {
        nlohmann::ordered_json line = nlohmann::ordered_json::object();
        put(line, "speed", w.speed);
        if (w.parity)
            for (const auto& [letter, name] : kParities)
                if (letter == *w.parity)
                    line["parity"] = name;
        put(line, "stopBits", w.stopBits);
        put(line, "dataBits", w.dataBits);
        if (w.framing)
            line["framing"] = FramingWord(*w.framing);
        if (w.echo)
            line["echo"] = EchoName(*w.echo);
        return line;
    }

    nlohmann::ordered_json pollOf(const Workspace& w)
    {
        nlohmann::ordered_json poll = nlohmann::ordered_json::object();
        put(poll, "intervalMs", w.intervalMs);
        put(poll, "count", w.count);
        put(poll, "timeoutMs", w.timeoutMs);
        put(poll, "byteTimeoutMs", w.byteTimeoutMs);
        put(poll, "graceMs", w.graceMs);
        return poll;
    }

} // namespace

std::string WriteWorkspace(const Workspace& w)
{
    nlohmann::ordered_json root { { "format", "quillet-workspace" }, { "version", kVersion } };
    put(root, "port", w.port);
    if (nlohmann::ordered_json line = lineOf(w); !line.empty())
        root["line"] = line;
    put(root, "slave", w.slave);
    put(root, "command", w.command);
    put(root, "requests", w.requests);
    if (nlohmann::ordered_json poll = pollOf(w); !poll.empty())
        root["poll"] = poll;
    put(root, "map", w.map);
    if (w.order)
        root["wordOrder"] = kOrders[int(*w.order)];
    return root.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

std::string MapPathForWorkspace(const std::string& mapPath, const std::string& workspacePath)
{
    const fs::path map = absoluteOf(mapPath);
    const fs::path folder = absoluteOf(workspacePath).parent_path();
    const fs::path relative = map.lexically_relative(folder);
    if (relative.empty() || *relative.begin() == "..")
        return mapPath;
    return utf8Text(relative);
}

std::string MapPathFromWorkspace(const std::string& written, const std::string& workspacePath)
{
    const fs::path path = utf8Path(written);
    if (path.is_absolute() || written.empty())
        return written;
    return utf8Text((absoluteOf(workspacePath).parent_path() / path).lexically_normal());
}

} // namespace modbus
