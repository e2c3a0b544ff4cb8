// The one place that touches the serial port: one port at a time, module-wide state.
#pragma once

#include "modbus/byte_string.h"

#include <functional>
#include <string>

namespace SerialPort {

// Shows a failure of Open to the user (OK button only). The caller passes its own, so no
// window's hook outlives it or replaces another's.
using ReportHook = std::function<void(const std::string& text)>;

// Opens sPort as typed ("COM5:") with settings such as "19200,n,8,1" and the module's
// time-outs. false when the port could not be opened or configured; each failure has been
// told through report, and a port that opened but could not be configured is closed again.
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

// Whether the open port is a pseudo-terminal, where parity does not apply.
bool IsPseudoTerminal();

// Whether the last read or write of an open port found the device gone (cable pulled, pty
// peer closed).
bool PortGone();

} // namespace SerialPort
