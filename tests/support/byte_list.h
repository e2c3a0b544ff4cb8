// Byte strings written as lists of numbers in tests: bytes({ 0x30, 3, 2, 0, 10 }).
#pragma once

#include "modbus/byte_string.h"

#include <initializer_list>

inline modbus::ByteString bytes(std::initializer_list<int> values)
{
    modbus::ByteString s;
    for (int v : values)
        s.push_back(static_cast<char>(v));
    return s;
}
