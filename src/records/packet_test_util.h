#pragma once
// Packets for tests: the folder listings whose bytes the server expects, and
// a builder for hand-made (also broken) packets.

#include <cstdint>
#include <string_view>

#include "base/byte_order.h"
#include "base/ole_variant.h"
#include "records/packet_format.h"

namespace selvane::testing {

// A string column of up to 1 byte, as the smallest tables declare it.
inline constexpr uint32_t kString1 = packet::kVarying | packet::TypeCode(packet::dsfldZSTRING, 1);

// One row: Filename "Config.ini", FileDate 2024-03-15 10:30:00.
inline const Bytes kOneRowListing = {
    0x96, 0x19, 0xE0, 0xBD, 0x01, 0x00, 0x00, 0x00, 0x18, 0x00, 0x00, 0x00, 0x02, 0x00, 0x01,
    0x00, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00, 0x67, 0x00,
    0x08, 'F', 'i', 'l', 'e', 'n', 'a', 'm', 'e', 0x01, 0x00, 0x49, 0x00, 0x04, 0x00, 0x01, 0x00,
    0x05, 'W', 'I', 'D', 'T', 'H', 0x02, 0x00, 0x02, 0x00, 0x64, 0x00,
    0x08, 'F', 'i', 'l', 'e', 'D', 'a', 't', 'e', 0x08, 0x00, 0x08, 0x00, 0x04, 0x00, 0x00, 0x00,
    0x01, 0x00, 0x0A, 'C', 'H', 'A', 'N', 'G', 'E', '_', 'L', 'O', 'G', 0x04, 0x00, 0x82, 0x00,
    0x03, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00,
    0x04, 0x00, 0x0A, 'C', 'o', 'n', 'f', 'i', 'g', '.', 'i', 'n', 'i',
    0x00, 0x20, 0x44, 0x7E, 0xAC, 0x08, 0xCD, 0x42,
};

// The same listing without rows.
inline const Bytes kEmptyListing = {
    0x96, 0x19, 0xE0, 0xBD, 0x01, 0x00, 0x00, 0x00, 0x18, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00, 0x48, 0x00,
    0x08, 'F', 'i', 'l', 'e', 'n', 'a', 'm', 'e', 0x01, 0x00, 0x49, 0x00, 0x04, 0x00, 0x01, 0x00,
    0x05, 'W', 'I', 'D', 'T', 'H', 0x02, 0x00, 0x02, 0x00, 0x64, 0x00,
    0x08, 'F', 'i', 'l', 'e', 'D', 'a', 't', 'e', 0x08, 0x00, 0x08, 0x00, 0x04, 0x00, 0x00, 0x00,
    0x00, 0x00,
};

// Appends packet pieces in order; nothing is checked.
class PacketBuilder {
 public:
  PacketBuilder& Header(uint16_t columns, uint32_t rows, uint32_t flags = 1, uint16_t version = 1,
                        uint32_t magic = packet::kMagic) {
    U32(magic).U16(version).U16(0).U32(24).U16(columns).U32(rows).U32(flags).U16(0);
    return *this;
  }
  PacketBuilder& Column(std::string_view name, uint32_t type, uint16_t attributes, uint16_t params) {
    return Name(name).U32(type).U16(attributes).U16(params);
  }
  // A parameter with a 2-byte unsigned value (WIDTH, DECIMALS).
  PacketBuilder& U16Param(std::string_view name, uint16_t value) {
    return Name(name).U32(packet::TypeCode(packet::dsfldUINT, 2)).U16(value);
  }
  // A text parameter (SUBTYPE, FIELDNAME): 2-byte length, text, zero byte.
  PacketBuilder& TextParam(std::string_view name, std::string_view text) {
    Name(name).U32(packet::kVarying | packet::TypeCode(packet::dsfldZSTRING, 2));
    return U16(static_cast<uint16_t>(text.size() + 1)).Text(text).U8(0);
  }
  PacketBuilder& Name(std::string_view name) { return U8(static_cast<uint8_t>(name.size())).Text(name); }
  PacketBuilder& Text(std::string_view s) {
    bytes_.insert(bytes_.end(), s.begin(), s.end());
    return *this;
  }
  PacketBuilder& U8(uint8_t v) {
    bytes_.push_back(v);
    return *this;
  }
  PacketBuilder& U16(uint16_t v) {
    AppendLe16(bytes_, v);
    return *this;
  }
  PacketBuilder& U32(uint32_t v) {
    AppendLe32(bytes_, v);
    return *this;
  }
  PacketBuilder& Raw(const Bytes& b) {
    bytes_.insert(bytes_.end(), b.begin(), b.end());
    return *this;
  }
  const Bytes& bytes() const { return bytes_; }

 private:
  Bytes bytes_;
};

}  // namespace selvane::testing
