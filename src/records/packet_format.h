#pragma once
// Constants of the binary data packet and the rule that gives each type code
// the shape of its values.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace selvane::packet {

inline constexpr uint32_t kMagic = 0xBDE01996;
// An older magic, accepted without a version check.
inline constexpr uint32_t kLegacyMagic = 0x0000ABCD;
inline constexpr size_t kHeaderSize = 24;
inline constexpr uint16_t kMaxVersion = 3;

inline constexpr uint32_t kFlagMetaData = 0x0001;
inline constexpr uint32_t kFlagRowOffset = 0x0002;

// Type code bits.
inline constexpr uint32_t kSizeBitsMask = 0x0000FFFF;
inline constexpr uint32_t kTypeBitsMask = 0x003F0000;
inline constexpr uint32_t kVarying = 0x00400000;
inline constexpr uint32_t kArray = 0x00800000;
inline constexpr uint32_t kPseudo = 0x01000000;
inline constexpr uint32_t kCompArray = 0x02000000;
inline constexpr uint32_t kEmbedded = 0x04000000;
inline constexpr uint32_t kIncInDelta = 0x80000000;

// Packet types (bits 16 to 21 of a type code).
enum : uint32_t {
  dsfldINT = 1, dsfldUINT = 2, dsfldBOOL = 3, dsfldFLOATIEEE = 4, dsfldBCD = 5, dsfldDATE = 6,
  dsfldTIME = 7, dsfldTIMESTAMP = 8, dsfldZSTRING = 9, dsfldUNICODE = 10, dsfldBYTES = 11,
  dsfldADT = 12, dsfldARRAY = 13, dsfldEMBEDDEDTBL = 14, dsfldREF = 15, dsfldBYTES2 = 16,
  dsfldDATETIME = 17, dsfldFMTBCD = 18, dsfldSINGLE = 27, dsfldDATETIMEOFFSET = 36,
};

constexpr uint32_t TypeCode(uint32_t packet_type, uint32_t size) { return (packet_type << 16) | size; }
constexpr uint32_t PacketTypeOf(uint32_t code) { return (code & kTypeBitsMask) >> 16; }
constexpr uint32_t SizeBitsOf(uint32_t code) { return code & kSizeBitsMask; }

// Row status bits of column j: null and unchanged.
constexpr uint8_t NullBit(size_t j) { return static_cast<uint8_t>(1u << (2 * (j % 4))); }
constexpr uint8_t UnchangedBit(size_t j) { return static_cast<uint8_t>(2u << (2 * (j % 4))); }
constexpr size_t StatusBytes(size_t columns) { return (columns + 3) / 4; }

// How the values of a type code are laid out.
struct ValueLayout {
  enum Kind : uint8_t { kFixed, kPrefixed, kCounted } kind = kFixed;
  // kFixed: value bytes; kPrefixed: prefix width (1, 2 or 4); kCounted: bytes per element.
  uint32_t width = 0;
};

// nullopt when no value rule accepts the code: a varying prefix other than 1,
// 2 or 4, a varying array, or a known type with a size it cannot have.
std::optional<ValueLayout> LayoutOf(uint32_t code);

// The named parameters; 0 for a user parameter. Names compare case-insensitively.
enum ParamId : uint8_t {
  kUserParam = 0, kUniqueKey = 1, kDefaultOrder = 2, kChangeLog = 3, kSubType = 9,
  kDecimals = 10, kWidth = 11, kAutoIncValue = 16, kElements = 17, kMdFieldLinks = 19,
  kCalculated = 23, kPrimaryKey = 28, kFieldName = 34,
};
uint8_t ParamIdOf(std::span<const uint8_t> name);

// Sub-type numbers and their names ("Binary" 23, "WideText" 32, ...).
inline constexpr uint16_t kUnknownSubType = 255;
uint16_t SubTypeOfName(std::string_view name);
std::string_view SubTypeName(uint16_t sub_type);  // empty when it has none

}  // namespace selvane::packet
