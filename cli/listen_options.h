// quillet-cli listen's own options, after the word "listen".
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace cli {

struct ListenOptions
{
    std::optional<double> durationS; // none: until Ctrl+C
    bool csv = false;
    bool json = false;
    std::string pcap; // a capture to write; empty: none
    bool findSpeed = false; // first find the line's speed and parity
    std::string framing; // "rtu" or "ascii"; empty: as the options before "listen" say
};

struct ListenParsed
{
    ListenOptions options;
    std::string error; // empty when the words parsed
    std::string help; // set for --help
};

// words: what follows "listen".
ListenParsed ParseListenOptions(const std::vector<std::string>& words);

} // namespace cli
