// The times of a serial line from its settings: one character, the silence between frames, the
// quiet that ends a reply. The serial link knows them for the line it opened; the scan and the
// speed search ask them for the settings they try. In the protocol's namespace: the 3.5
// characters are Modbus RTU's rule, not the port's.
#pragma once

#include <cstdint>

namespace modbus {

// One character's time on the line: a start bit, the data bits (8, or 7 for ASCII), the parity
// bit if any, the stop bits.
std::int64_t CharacterUs(int bitsPerSecond, char parity, int stopBits, int dataBits = 8);

// The silence the standard asks between two frames: 3.5 characters of 11 bits, and 1.75 ms at
// speeds above 19200 bit/s. A master that sends at once after a reply runs two frames together.
std::int64_t InterFrameUs(int bitsPerSecond);

// How long a gap ends what a slave sends: 3.5 characters, at least 20 ms (USB adapters hand
// bytes over in slices of up to 16 ms).
std::int64_t SilenceUs(int bitsPerSecond);

} // namespace modbus
