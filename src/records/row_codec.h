#pragma once
// Values and rows in their packet form, as pure functions over byte spans. The
// table keeps its rows in this form too, so a row read from a packet is never
// unpacked and a blob is read where it lies.
//
// Row: RowState byte, two status bits per column (null, unchanged), then the
// value of every column whose two bits are clear.

#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>

#include "base/ole_variant.h"
#include "records/byte_reader.h"
#include "records/packet_format.h"

namespace selvane {

struct EncodedValue {
  std::span<const uint8_t> content;  // after the length prefix or element count
  // A 4-byte prefix below zero: the content is not in the packet.
  int32_t absent_length = 0;
  bool absent() const { return absent_length < 0; }
};

// Reads one value of the layout and checks it against what remains.
EncodedValue ReadValue(ByteReader& in, const packet::ValueLayout& layout);
// Appends a value; throws "Operation not applicable." when the content does
// not fit the layout (a fixed value of another size, a length beyond the prefix).
void AppendValue(Bytes& out, const packet::ValueLayout& layout, std::span<const uint8_t> content);
// A varying value whose content the packet does not carry.
void AppendAbsentValue(Bytes& out, int32_t absent_length);

// What the reader needs to walk a column's values.
struct ColumnShape {
  packet::ValueLayout layout;
  // A longer varying value fails with "Invalid parameter.".
  uint64_t max_length = std::numeric_limits<uint64_t>::max();
};

enum class FieldStatus : uint8_t { kValue = 0, kNull = 1, kUnchanged = 2 };

struct RowField {
  FieldStatus status = FieldStatus::kNull;
  EncodedValue value;
};

// Walks one row at the reader, checking every status byte and value.
void SkipRow(ByteReader& in, std::span<const ColumnShape> columns);

// Steps through the columns of a row that SkipRow accepted (or that the table wrote).
class RowWalker {
 public:
  RowWalker(std::span<const uint8_t> row, std::span<const ColumnShape> columns);
  uint8_t row_state() const { return row_state_; }
  // The next column's status and value.
  RowField Next();

 private:
  ByteReader in_;
  uint8_t row_state_;
  std::span<const uint8_t> status_;
  std::span<const ColumnShape> columns_;
  size_t next_ = 0;
};

}  // namespace selvane
