#include "rpc/variant_stream.h"

#include "rpc/rpc_error.h"

namespace selvane {

namespace {
constexpr uint16_t kVarEmpty = 0x0000;
constexpr uint16_t kVarNull = 0x0001;
}  // namespace

Bytes VariantToStream(const OleVariant& value) {
  Bytes out;
  if (!value.IsByteArray()) {
    const uint16_t type = value.IsNull() ? kVarNull : kVarEmpty;
    out = {kVariantStreamGeneric, static_cast<uint8_t>(type), static_cast<uint8_t>(type >> 8)};
    return out;
  }
  const Bytes& elements = value.bytes();
  out.reserve(9 + elements.size());
  out.push_back(kVariantStreamByteArray);
  const uint64_t count = elements.size();
  for (int i = 0; i < 8; ++i) out.push_back(static_cast<uint8_t>(count >> (8 * i)));
  out.insert(out.end(), elements.begin(), elements.end());
  return out;
}

OleVariant StreamToVariant(ByteSpan stream) {
  if (stream.empty()) return OleVariant();
  if (stream[0] == kVariantStreamGeneric) {
    if (stream.size() >= 3 && (stream[1] | (stream[2] << 8)) == kVarNull) return OleVariant::Null();
    return OleVariant();
  }
  if (stream[0] != kVariantStreamByteArray) return OleVariant();
  if (stream.size() < 9) throw TRpcError("Stream read error");
  uint32_t low = 0;
  for (int i = 3; i >= 0; --i) low = (low << 8) | stream[1 + i];
  const auto count = static_cast<int32_t>(low);
  if (count <= 0) return OleVariant::Null();
  const ByteSpan elements = stream.subspan(9);
  if (elements.size() < static_cast<size_t>(count)) throw TRpcError("Stream read error");
  return OleVariant::FromBytes(Bytes(elements.begin(), elements.begin() + count));
}

}  // namespace selvane
