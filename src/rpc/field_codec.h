#pragma once
// Field encoding of parameter rows and table rows. A row is a run of fields
// with no separators: each field's first byte (its header) fixes the field's
// total length, so readers walk a row with FieldLength. Pure functions over
// byte spans; nothing here touches a connection.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "base/ole_variant.h"

namespace selvane {

using ByteSpan = std::span<const uint8_t>;

inline constexpr uint8_t kNullFieldHeader = 0xC0;       // what the client writes for null
inline constexpr uint8_t kCallbackFieldHeader = 0x02;
inline constexpr uint8_t kSegmentedFieldHeader = 0x50;  // two-byte length, more parts follow
inline constexpr size_t kMaxInlinePart = 65535;         // longest part a two-byte length holds

// Total length (header included) of the field at the start of `row`. Throws
// TRpcError "Unexpected header" for a header of no known form, and
// "Field exceeds row" when the row ends before the field does.
size_t FieldLength(ByteSpan row);

// The field of the given ordinal, found by skipping the fields before it.
ByteSpan FieldAt(ByteSpan row, size_t ordinal);

bool IsNullField(ByteSpan field);  // header >= 0x80

// --- Writing -----------------------------------------------------------------
void AppendNullField(Bytes& row);
void AppendBooleanField(Bytes& row, bool value);  // 0x60 true, 0x20 false
// Sign header 0x60 (zero or positive) or 0x20, then the magnitude big-endian
// without leading zero bytes (0 to 8 bytes).
void AppendIntegerField(Bytes& row, int64_t value);

// String bytes: code units up to U+00FE one byte each; at the first unit of
// U+00FF or above the byte 0xFF, then every remaining unit as two bytes, high first.
Bytes EncodeStringBytes(std::u16string_view text);
std::u16string DecodeStringBytes(ByteSpan bytes);

// Bytes that may go inline into a row of `row_length` bytes whose buffer has
// the minimum size `min_row_size`.
size_t InlineSpace(size_t row_length, size_t min_row_size);

// Appends a wide string field (0x20+n below 32 bytes, else 0x10 + two-byte
// length; 0x50 with the first part when the bytes exceed `inline_space`).
// Returns how many of `encoded` went inline; the rest follows in later parts.
size_t AppendStringField(Bytes& row, ByteSpan encoded, size_t inline_space);

// Appends a byte-stream field (0x20 when empty, else 0x10 + two-byte length,
// or 0x50 + the first part when the stream exceeds `inline_space`).
// Returns how many bytes went inline.
size_t AppendStreamField(Bytes& row, ByteSpan stream, size_t inline_space);

// --- Reading -----------------------------------------------------------------
// Integer of an inline or two-byte-length field; nullopt for a null field.
// The magnitude's low 32 (or 64) bits are negated unless the header has bit
// 0x40; a magnitude that already reads as negative is taken unchanged.
std::optional<int32_t> DecodeInt32Field(ByteSpan field);
std::optional<int64_t> DecodeInt64Field(ByteSpan field);
std::optional<bool> DecodeBooleanField(ByteSpan field);  // bit 0x40
// Throws "Unexpected header" for forms that do not hold a string.
std::optional<std::u16string> DecodeWideStringField(ByteSpan field);
// One-byte characters, no switch byte (table columns of type 1).
std::optional<std::string> DecodeAnsiStringField(ByteSpan field);

// A stream field as it sits in a row.
struct StreamField {
  enum class Kind {
    kNull,
    kComplete,   // `inline_bytes` are the whole value
    kSegmented,  // 0x50: `inline_bytes` come first, later parts follow
    kBlob,       // 0x08..0x0F: every byte follows in later parts
  };
  Kind kind = Kind::kNull;
  ByteSpan inline_bytes;
  uint32_t blob_size = 0;  // the announced total of a blob header
};
StreamField ParseStreamField(ByteSpan field);

}  // namespace selvane
