// Display lines of received replies.
#pragma once

#include "byte_string.h"

namespace modbus {

inline constexpr std::size_t kWriteReplyLength = 8; // function 16 and 6 echo replies
inline constexpr std::size_t kReadReplyLength = 7; // function 3 reply for one register

// "Reply : ADDR : 1: Data :  10: CRC : 5C 2C". The chunk holds at least kWriteReplyLength
// bytes; firstHi receives the data word.
ByteString WriteReplyText(const ByteString& chunk, double& firstHi);

// "Reply  2 butes :  Data :  10: CRC : 45 87". The chunk holds at least kReadReplyLength
// bytes; firstHi receives the first register's value.
ByteString ReadReplyText(const ByteString& chunk, double& firstHi);

// Header line, then the bytes above 31 as characters, then every byte in hex; each line
// ends with CR LF.
ByteString RawReplyText(std::string_view header, const ByteString& chunk);

} // namespace modbus
