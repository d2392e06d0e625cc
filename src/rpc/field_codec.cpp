#include "rpc/field_codec.h"

#include <algorithm>

#include "base/byte_order.h"
#include "rpc/rpc_error.h"

namespace selvane {

namespace {

[[noreturn]] void UnexpectedHeader() { throw TRpcError("Unexpected header"); }

uint32_t ReadBigEndian(ByteSpan bytes, size_t pos, size_t count) {
  return static_cast<uint32_t>(LoadBigEndian(bytes.subspan(pos, count)));
}

void AppendBigEndian16(Bytes& row, size_t v) { AppendBigEndian(row, v, 2); }

// A two-byte-length header with bit 0x40: the first of several parts.
bool IsSegmentedHeader(uint8_t h) { return (h & 0xF0) == 0x50; }

// The header length and the value bytes of a field that holds its value in
// one part (inline, two-byte or four-byte length); nullopt for other forms.
std::optional<ByteSpan> WholeValueBytes(ByteSpan field) {
  const uint8_t h = field[0];
  if (h & 0x20) return field.subspan(1);
  if (IsSegmentedHeader(h)) return std::nullopt;
  if (h & 0x10) return field.subspan(3);
  return std::nullopt;
}

uint64_t Magnitude(ByteSpan bytes) { return LoadBigEndian(bytes); }

}  // namespace

size_t FieldLength(ByteSpan row) {
  if (row.empty()) throw TRpcError("Field exceeds row");
  const uint8_t h = row[0];
  uint64_t total;  // 64 bits: a four-byte length must not wrap on 32-bit builds
  if (h >= 0x80) {
    total = 1;
  } else if (h & 0x20) {
    total = 1 + (h & 0x1F);
  } else if (h == kCallbackFieldHeader) {
    total = 1;
  } else if (h & 0x10) {
    if (row.size() < 3) throw TRpcError("Field exceeds row");
    total = 3 + ReadBigEndian(row, 1, 2);
  } else if (h & 0x40) {
    if (row.size() < 5) throw TRpcError("Field exceeds row");
    total = 5 + uint64_t{ReadBigEndian(row, 1, 4)};
  } else if (h == 0x08) {
    total = 5;
  } else if (h & 0x08) {
    if (row.size() < 6) throw TRpcError("Field exceeds row");
    total = 6 + (row[5] & 0x1F);
  } else {
    // 0x00 (zero-ended strings) and 0x01, 0x03..0x07 never occur in these exchanges.
    UnexpectedHeader();
  }
  if (total > row.size()) throw TRpcError("Field exceeds row");
  return static_cast<size_t>(total);
}

ByteSpan FieldAt(ByteSpan row, size_t ordinal) {
  size_t pos = 0;
  for (size_t i = 0; i < ordinal; ++i) pos += FieldLength(row.subspan(pos));
  return row.subspan(pos, FieldLength(row.subspan(pos)));
}

bool IsNullField(ByteSpan field) { return !field.empty() && field[0] >= 0x80; }

void AppendNullField(Bytes& row) { row.push_back(kNullFieldHeader); }

void AppendBooleanField(Bytes& row, bool value) { row.push_back(value ? 0x60 : 0x20); }

void AppendIntegerField(Bytes& row, int64_t value) {
  // Unsigned negation keeps INT64_MIN's magnitude exact.
  const uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  int count = 0;
  for (uint64_t m = magnitude; m != 0; m >>= 8) ++count;
  row.push_back(static_cast<uint8_t>((value < 0 ? 0x20 : 0x60) | count));
  AppendBigEndian(row, magnitude, static_cast<size_t>(count));
}

Bytes EncodeStringBytes(std::u16string_view text) {
  Bytes out;
  out.reserve(text.size());
  size_t i = 0;
  for (; i < text.size() && text[i] < 0xFF; ++i) out.push_back(static_cast<uint8_t>(text[i]));
  if (i == text.size()) return out;
  out.push_back(0xFF);
  for (; i < text.size(); ++i) AppendBigEndian(out, text[i], 2);
  return out;
}

std::u16string DecodeStringBytes(ByteSpan bytes) {
  std::u16string out;
  size_t i = 0;
  for (; i < bytes.size() && bytes[i] != 0xFF; ++i) out.push_back(bytes[i]);
  if (i == bytes.size()) return out;
  ++i;  // the switch byte
  for (; i + 1 < bytes.size(); i += 2) out.push_back(static_cast<char16_t>(LoadBigEndian(bytes.subspan(i, 2))));
  if (i < bytes.size()) throw TRpcError("Odd string length");
  return out;
}

size_t InlineSpace(size_t row_length, size_t min_row_size) {
  size_t space = 1024;
  if (row_length + 1024 + 3 <= min_row_size) space = min_row_size - row_length - 3;
  return std::min(space, kMaxInlinePart);
}

size_t AppendStringField(Bytes& row, ByteSpan encoded, size_t inline_space) {
  inline_space = std::min(inline_space, kMaxInlinePart);
  if (encoded.size() > inline_space) {
    row.push_back(kSegmentedFieldHeader);
    AppendBigEndian16(row, inline_space);
    row.insert(row.end(), encoded.begin(), encoded.begin() + static_cast<ptrdiff_t>(inline_space));
    return inline_space;
  }
  if (encoded.size() < 32) {
    row.push_back(static_cast<uint8_t>(0x20 | encoded.size()));
  } else {
    row.push_back(0x10);
    AppendBigEndian16(row, encoded.size());
  }
  row.insert(row.end(), encoded.begin(), encoded.end());
  return encoded.size();
}

size_t AppendStreamField(Bytes& row, ByteSpan stream, size_t inline_space) {
  if (stream.empty()) {
    row.push_back(0x20);
    return 0;
  }
  const size_t part = std::min({stream.size(), inline_space, kMaxInlinePart});
  row.push_back(part == stream.size() ? 0x10 : kSegmentedFieldHeader);
  AppendBigEndian16(row, part);
  row.insert(row.end(), stream.begin(), stream.begin() + static_cast<ptrdiff_t>(part));
  return part;
}

std::optional<int64_t> DecodeInt64Field(ByteSpan field) {
  if (IsNullField(field)) return std::nullopt;
  const auto bytes = WholeValueBytes(field);
  if (!bytes) UnexpectedHeader();
  const uint64_t m = Magnitude(*bytes);
  if (field[0] & 0x40) return static_cast<int64_t>(m);
  if (static_cast<int64_t>(m) < 0) return static_cast<int64_t>(m);
  return -static_cast<int64_t>(m);
}

std::optional<int32_t> DecodeInt32Field(ByteSpan field) {
  if (IsNullField(field)) return std::nullopt;
  const auto bytes = WholeValueBytes(field);
  if (!bytes) UnexpectedHeader();
  const auto m = static_cast<uint32_t>(Magnitude(*bytes));
  if (field[0] & 0x40) return static_cast<int32_t>(m);
  if (static_cast<int32_t>(m) < 0) return static_cast<int32_t>(m);
  return -static_cast<int32_t>(m);
}

std::optional<bool> DecodeBooleanField(ByteSpan field) {
  if (IsNullField(field)) return std::nullopt;
  return (field[0] & 0x40) != 0;
}

std::optional<std::u16string> DecodeWideStringField(ByteSpan field) {
  if (IsNullField(field)) return std::nullopt;
  const auto bytes = WholeValueBytes(field);
  if (!bytes) UnexpectedHeader();
  return DecodeStringBytes(*bytes);
}

std::optional<std::string> DecodeAnsiStringField(ByteSpan field) {
  if (IsNullField(field)) return std::nullopt;
  const auto bytes = WholeValueBytes(field);
  if (!bytes) UnexpectedHeader();
  return std::string(bytes->begin(), bytes->end());
}

StreamField ParseStreamField(ByteSpan field) {
  StreamField out;
  const uint8_t h = field[0];
  if (h >= 0x80) return out;
  if (IsSegmentedHeader(h)) {
    out.kind = StreamField::Kind::kSegmented;
    out.inline_bytes = field.subspan(3);
  } else if (h >= 0x08 && h <= 0x0F) {
    out.kind = StreamField::Kind::kBlob;
    out.blob_size = ReadBigEndian(field, 1, 4);
  } else if (h & 0x20) {
    out.kind = StreamField::Kind::kComplete;
    out.inline_bytes = field.subspan(1);
  } else if (h & 0x10) {
    out.kind = StreamField::Kind::kComplete;
    out.inline_bytes = field.subspan(3);
  } else if (h & 0x40) {
    out.kind = StreamField::Kind::kComplete;
    out.inline_bytes = field.subspan(5);
  } else {
    UnexpectedHeader();
  }
  return out;
}

}  // namespace selvane
