// The PDU builders the table of functions names: each checks the fields against the
// standard's limits and returns why it refuses, empty when the PDU is built.
#pragma once

#include "request_fields.h"

#include <string>

namespace modbus::pdu {

std::string ReadBits(const RequestFields& fields, ByteString& pdu); // 1, 2
std::string ReadRegisters(const RequestFields& fields, ByteString& pdu); // 3, 4
std::string WriteCoil(const RequestFields& fields, ByteString& pdu); // 5
std::string WriteRegister(const RequestFields& fields, ByteString& pdu); // 6
std::string WriteCoils(const RequestFields& fields, ByteString& pdu); // 15
std::string WriteRegisters(const RequestFields& fields, ByteString& pdu); // 16
std::string MaskWrite(const RequestFields& fields, ByteString& pdu); // 22
std::string ReadWrite(const RequestFields& fields, ByteString& pdu); // 23
std::string Diagnostics(const RequestFields& fields, ByteString& pdu); // 8
std::string FunctionOnly(const RequestFields& fields, ByteString& pdu); // 17
std::string ReadFifo(const RequestFields& fields, ByteString& pdu); // 24
std::string DeviceId(const RequestFields& fields, ByteString& pdu); // 43/14

} // namespace modbus::pdu
