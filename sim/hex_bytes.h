// Bytes as spaced upper-case hex pairs, for printing frames: "30 03 00 00 00 01 80 2B".
#pragma once

#include <cstdio>
#include <string>

inline std::string HexBytes(const std::string& bytes)
{
    std::string out;
    char pair[4];
    for (unsigned char c : bytes) {
        std::snprintf(pair, sizeof pair, "%02X ", c);
        out += pair;
    }
    if (!out.empty())
        out.pop_back();
    return out;
}
