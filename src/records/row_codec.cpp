#include "records/row_codec.h"

#include "base/byte_order.h"
#include "records/db_errors.h"

namespace selvane {

using packet::ValueLayout;

EncodedValue ReadValue(ByteReader& in, const ValueLayout& layout) {
  switch (layout.kind) {
    case ValueLayout::kFixed: return {in.Take(layout.width)};
    case ValueLayout::kPrefixed: {
      const uint64_t length = LoadLittleEndian(in.Take(layout.width));
      if (layout.width == 4 && (length & 0x80000000u)) {
        return {{}, static_cast<int32_t>(static_cast<uint32_t>(length))};
      }
      return {in.Take(static_cast<size_t>(length))};
    }
    case ValueLayout::kCounted: {
      const uint32_t count = in.U32();
      if (layout.width != 0 && count > in.remaining() / layout.width) {
        ThrowDBClient(dberr::kMismatch);
      }
      return {in.Take(size_t{count} * layout.width)};
    }
  }
  ThrowDBClient(dberr::kMismatch);
}

void AppendValue(Bytes& out, const ValueLayout& layout, std::span<const uint8_t> content) {
  uint64_t prefix = content.size();
  switch (layout.kind) {
    case ValueLayout::kFixed:
      if (content.size() != layout.width) ThrowDBClient(dberr::kNotApplicable);
      break;
    case ValueLayout::kPrefixed:
      if (layout.width < 4 && prefix >> (8 * layout.width)) ThrowDBClient(dberr::kNotApplicable);
      if (layout.width == 4 && prefix > 0x7FFFFFFF) ThrowDBClient(dberr::kNotApplicable);
      AppendLittleEndian(out, prefix, layout.width);
      break;
    case ValueLayout::kCounted:
      if (layout.width == 0 || content.size() % layout.width) ThrowDBClient(dberr::kNotApplicable);
      prefix = content.size() / layout.width;
      AppendLe32(out, static_cast<uint32_t>(prefix));
      break;
  }
  out.insert(out.end(), content.begin(), content.end());
}

void AppendAbsentValue(Bytes& out, int32_t absent_length) {
  AppendLe32(out, static_cast<uint32_t>(absent_length));
}

namespace {

FieldStatus StatusOf(std::span<const uint8_t> status, size_t j) {
  const uint8_t bits = status[j / 4];
  if (bits & packet::NullBit(j)) return FieldStatus::kNull;
  if (bits & packet::UnchangedBit(j)) return FieldStatus::kUnchanged;
  return FieldStatus::kValue;
}

}  // namespace

void SkipRow(ByteReader& in, std::span<const ColumnShape> columns) {
  in.U8();  // RowState
  const auto status = in.Take(packet::StatusBytes(columns.size()));
  for (size_t j = 0; j < columns.size(); ++j) {
    if (StatusOf(status, j) != FieldStatus::kValue) continue;
    const auto& shape = columns[j];
    if (shape.layout.kind == ValueLayout::kPrefixed) {
      ByteReader peek = in;
      const uint64_t length = LoadLittleEndian(peek.Take(shape.layout.width));
      const bool absent = shape.layout.width == 4 && (length & 0x80000000u);
      if (!absent && length > shape.max_length) ThrowDBClient(dberr::kInvalidParameter);
    }
    ReadValue(in, shape.layout);
  }
}

RowWalker::RowWalker(std::span<const uint8_t> row, std::span<const ColumnShape> columns)
    : in_(row), row_state_(in_.U8()), status_(in_.Take(packet::StatusBytes(columns.size()))),
      columns_(columns) {}

RowField RowWalker::Next() {
  const size_t j = next_++;
  RowField field{StatusOf(status_, j), {}};
  if (field.status == FieldStatus::kValue) field.value = ReadValue(in_, columns_[j].layout);
  return field;
}

}  // namespace selvane
