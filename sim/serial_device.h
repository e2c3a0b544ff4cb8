// A serial device opened raw at given line settings, for the simulator on a real port (an
// adapter wired to the master under test).
#pragma once

#include "serial/line_settings.h"

#include <string>

// The open descriptor, or -1 with the reason in why.
int OpenSerialDevice(const std::string& path, const comm::LineSettings& line, std::string& why);

// Whether a port of this system takes the speed (bits per second).
bool SerialDeviceSpeed(int bitsPerSecond);
