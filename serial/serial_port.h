// The one place that touches the serial port: one port at a time, module-wide state.
#pragma once

#include "modbus/byte_string.h"
#include "modbus/frame_analysis.h"

#include <functional>
#include <optional>
#include <string>

namespace SerialPort {

// Shows a failure of Open to the user (OK button only). The caller passes its own, so no
// window's hook outlives it or replaces another's.
using ReportHook = std::function<void(const std::string& text)>;

// Opens sPort as typed ("COM5:") with settings such as "19200,n,8,1" and the module's
// time-outs; a network link ("tcp://10.0.0.5:502", "rtu+tcp://gw:4001", ...) is connected
// instead, the settings unused. false when the port could not be opened or configured; each failure
// has been told through report, and a port that opened but could not be configured is closed again.
bool OpenPort(const std::string& sPort, const std::string& sSettings, const ReportHook& report);

// Closes the port; a closed or never-opened port is left alone.
void ClosePort();

// Waits until what was written has gone out on the line; discards nothing.
void FlushPort();

// Up to 255 bytes, as they came; empty when nothing came within the read time-outs.
modbus::ByteString ReadPort();

// Writes sData in 255-byte pieces, in order. Returns how many bytes went out; a piece cut
// short ends the write, so the slave never sees bytes after a gap.
int WritePort(const modbus::ByteString& sData);

// While a polling run waits for its next request, an idle read must not outlast that wait: the
// read's total time-out becomes ms (1..256) and the interval stays 20 ms. 0 restores the
// designed time-outs. Open starts with the designed ones.
void SetIdleReadLimit(int ms);

// Listening: reads return as soon as bytes arrive (waiting up to 20 ms for the first), so each
// read's time is its bytes'. false restores the designed time-outs; Open starts with them.
void SetListenReads(bool on);

// Whether the open port is a pseudo-terminal, where parity does not apply.
bool IsPseudoTerminal();

// How the open link carries frames when it is a network link; nullopt for a serial port.
std::optional<modbus::Framing> NetworkFraming();
// How long a network link's connect may take (its response time-out); 1000 ms unless set.
void SetConnectTimeoutMs(int ms);
// What became of a network connection since the last call, a line each: closed by the far
// end, made again, refused. Empty when nothing did. ended: a stream ended.
std::string TakeNews(bool* ended);
// Why a network link has no connection now ("nothing listens at ..."); empty while it has one
// and for a serial port.
std::string LinkDown();

// Whether the last read or write of an open port found the device gone (cable pulled, pty
// peer closed).
bool PortGone();

} // namespace SerialPort
