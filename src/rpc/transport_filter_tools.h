#pragma once
// The five-byte headers of the filter handshake and of filtered frames.

#include <array>
#include <cstdint>
#include <span>

namespace selvane {

using FilterHeader = std::array<uint8_t, 5>;

// The client's first five bytes on a new connection.
inline constexpr FilterHeader kFilterQuery{0x05, 0x05, 0x05, 0x05, 0x05};
// The server's answer when it uses no filters.
inline constexpr FilterHeader kNoFilter{0x06, 0x00, 0x00, 0x00, 0x00};
inline constexpr uint8_t kPublicKeyMark = 0x07;
inline constexpr uint8_t kDataMark = 0x0D;

// 0x07 and the 32-bit big-endian length.
FilterHeader EncodePublicKeyLength(uint32_t length);
// 0x0D and the 32-bit big-endian length.
FilterHeader EncodeDataLength(uint32_t length);
// The length of a header starting with 0x07 or 0x0D, read as a signed 32-bit
// number; -1 for any other header.
int64_t DecodeDataLen(std::span<const uint8_t, 5> header);

}  // namespace selvane
