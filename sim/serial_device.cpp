#include "serial_device.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <iterator>
#include <termios.h>
#include <unistd.h>
#include <utility>

namespace {

constexpr std::pair<int, speed_t> kSpeeds[]
    = { { 1200, B1200 }, { 2400, B2400 }, { 4800, B4800 }, { 9600, B9600 }, { 19200, B19200 },
          { 38400, B38400 }, { 57600, B57600 }, { 115200, B115200 }, { 230400, B230400 } };

speed_t speedCode(int bitsPerSecond)
{
    for (const auto& [bits, code] : kSpeeds)
        if (bits == bitsPerSecond)
            return code;
    return B0;
}

// Raw, the data bits (8, or 7 for ASCII), parity and stop bits asked for, no flow control:
// what a slave needs.
bool setLine(int fd, const comm::LineSettings& line)
{
    termios tio {};
    if (tcgetattr(fd, &tio) != 0)
        return false;
    cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cflag &= ~(CSTOPB | PARENB | PARODD | CRTSCTS);
    if (line.parity != 'n')
        tio.c_cflag |= line.parity == 'o' ? (PARENB | PARODD) : PARENB;
    if (line.stopBits == 2)
        tio.c_cflag |= CSTOPB;
    if (line.dataBits == 7)
        tio.c_cflag = (tio.c_cflag & ~CSIZE) | CS7;
    cfsetspeed(&tio, speedCode(line.speed));
    return tcsetattr(fd, TCSANOW, &tio) == 0;
}

} // namespace

bool SerialDeviceSpeed(int bitsPerSecond) { return speedCode(bitsPerSecond) != B0; }

int OpenSerialDevice(const std::string& path, const comm::LineSettings& line, std::string& why)
{
    if (!SerialDeviceSpeed(line.speed)) {
        why = std::to_string(line.speed) + " bit/s is not a speed this port takes";
        return -1;
    }
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        why = "cannot open " + path + ": " + std::strerror(errno);
        return -1;
    }
    if (!setLine(fd, line)) {
        why = path + " is not a serial port: " + std::strerror(errno);
        close(fd);
        return -1;
    }
    return fd;
}
