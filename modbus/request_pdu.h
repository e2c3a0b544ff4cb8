// The PDU builders the table of functions names: each checks the fields against the
// standard's limits and returns why it refuses, empty when the PDU is built.
#pragma once

#include "request_spec.h"

#include <string>

namespace modbus::pdu {

std::string ReadBits(const RequestSpec& spec, ByteString& pdu); // 1, 2
std::string ReadRegisters(const RequestSpec& spec, ByteString& pdu); // 3, 4
std::string WriteCoil(const RequestSpec& spec, ByteString& pdu); // 5
std::string WriteRegister(const RequestSpec& spec, ByteString& pdu); // 6
std::string WriteCoils(const RequestSpec& spec, ByteString& pdu); // 15
std::string WriteRegisters(const RequestSpec& spec, ByteString& pdu); // 16
std::string MaskWrite(const RequestSpec& spec, ByteString& pdu); // 22
std::string ReadWrite(const RequestSpec& spec, ByteString& pdu); // 23
std::string Diagnostics(const RequestSpec& spec, ByteString& pdu); // 8
std::string FunctionOnly(const RequestSpec& spec, ByteString& pdu); // 17
std::string DeviceId(const RequestSpec& spec, ByteString& pdu); // 43/14

} // namespace modbus::pdu
