// Rows of encoded fields as a server may send them: every field is measured
// and decoded in each of its possible readings, stream fields are turned back
// into variants, and the encoders must read back what they wrote.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "base/byte_order.h"
#include "rpc/field_codec.h"
#include "rpc/rpc_error.h"
#include "rpc/variant_stream.h"

namespace {

using selvane::ByteSpan;
using selvane::Bytes;

void DecodeEveryReading(ByteSpan field) {
  auto ignore = [](auto&& f) {
    try {
      f();
    } catch (const selvane::TRpcError&) {
    }
  };
  ignore([&] { selvane::DecodeInt32Field(field); });
  ignore([&] { selvane::DecodeInt64Field(field); });
  ignore([&] { selvane::DecodeBooleanField(field); });
  ignore([&] { selvane::DecodeWideStringField(field); });
  ignore([&] { selvane::DecodeAnsiStringField(field); });
  ignore([&] {
    const selvane::StreamField s = selvane::ParseStreamField(field);
    selvane::StreamToVariant(s.inline_bytes);
  });
}

void CheckRoundTrips(ByteSpan input) {
  int64_t v = 0;
  std::memcpy(&v, input.data(), std::min(sizeof v, input.size()));
  Bytes row;
  selvane::AppendIntegerField(row, v);
  if (selvane::FieldLength(row) != row.size() || *selvane::DecodeInt64Field(row) != v) __builtin_trap();

  std::u16string text;
  for (size_t i = 0; i + 1 < input.size(); i += 2) {
    text.push_back(static_cast<char16_t>(selvane::LoadLe16(input.subspan(i))));
  }
  const Bytes encoded = selvane::EncodeStringBytes(text);
  if (selvane::DecodeStringBytes(encoded) != text) __builtin_trap();
  Bytes string_row;
  if (selvane::AppendStringField(string_row, encoded, 65535) == encoded.size()) {
    if (selvane::FieldLength(string_row) != string_row.size()) __builtin_trap();
    if (*selvane::DecodeWideStringField(string_row) != text) __builtin_trap();
  }

  const selvane::OleVariant packet = selvane::OleVariant::FromBytes(Bytes(input.begin(), input.end()));
  const Bytes stream = selvane::VariantToStream(packet);
  Bytes stream_row;
  const size_t inline_bytes = selvane::AppendStreamField(stream_row, stream, selvane::InlineSpace(0, 1021952));
  if (inline_bytes == stream.size()) {
    const selvane::StreamField f = selvane::ParseStreamField(stream_row);
    const selvane::OleVariant back = selvane::StreamToVariant(f.inline_bytes);
    if (input.empty() ? !back.IsNull() : back.bytes() != packet.bytes()) __builtin_trap();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const ByteSpan row(data, size);
  size_t pos = 0;
  while (pos < row.size()) {
    size_t length;
    try {
      length = selvane::FieldLength(row.subspan(pos));
    } catch (const selvane::TRpcError&) {
      break;
    }
    if (length == 0 || length > row.size() - pos) __builtin_trap();
    DecodeEveryReading(row.subspan(pos, length));
    pos += length;
  }
  for (size_t ordinal = 0; ordinal < 4; ++ordinal) {
    try {
      DecodeEveryReading(selvane::FieldAt(row, ordinal));
    } catch (const selvane::TRpcError&) {
    }
  }
  try {
    selvane::StreamToVariant(row);
    selvane::DecodeStringBytes(row);
  } catch (const selvane::TRpcError&) {
  }
  CheckRoundTrips(row);
  return 0;
}
