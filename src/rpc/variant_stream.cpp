#include "rpc/variant_stream.h"

#include <algorithm>

#include "base/byte_order.h"
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
    out = {kVariantStreamGeneric};
    AppendLe16(out, type);
    return out;
  }
  const Bytes& elements = value.bytes();
  out.reserve(9 + elements.size());
  out.push_back(kVariantStreamByteArray);
  const uint64_t count = elements.size();
  AppendLe64(out, count);
  out.insert(out.end(), elements.begin(), elements.end());
  return out;
}

OleVariant StreamToVariant(ByteSpan stream) {
  if (stream.empty()) return OleVariant();
  if (stream[0] == kVariantStreamGeneric) {
    if (stream.size() >= 3 && LoadLe16(stream.subspan(1)) == kVarNull) return OleVariant::Null();
    return OleVariant();
  }
  if (stream[0] != kVariantStreamByteArray) return OleVariant();
  if (stream.size() < 9) throw TRpcError("Stream read error");
  const uint32_t low = LoadLe32(stream.subspan(1));
  const auto count = static_cast<int32_t>(low);
  if (count <= 0) return OleVariant::Null();
  const ByteSpan elements = stream.subspan(9);
  if (elements.size() < static_cast<size_t>(count)) throw TRpcError("Stream read error");
  return OleVariant::FromBytes(Bytes(elements.begin(), elements.begin() + count));
}

void VariantStreamReader::Feed(ByteSpan piece) {
  while (!counted_ && !piece.empty()) {
    // Of any other form only the tag and a two-byte variant type matter.
    if (head_size_ != 0 && head_[0] != kVariantStreamByteArray && head_size_ == 3) return;
    head_[head_size_++] = piece[0];
    piece = piece.subspan(1);
    if (head_[0] == kVariantStreamByteArray && head_size_ == sizeof head_) {
      const auto count = static_cast<int32_t>(LoadLe32(ByteSpan(head_ + 1, 4)));
      left_ = count > 0 ? static_cast<uint64_t>(count) : 0;
      counted_ = true;
    }
  }
  const size_t n = static_cast<size_t>(std::min<uint64_t>(left_, piece.size()));
  left_ -= n;
  if (n != 0) elements_(piece.first(n));
}

std::optional<OleVariant> VariantStreamReader::Finish() {
  if (head_size_ == 0 || head_[0] != kVariantStreamByteArray) return StreamToVariant(ByteSpan(head_, head_size_));
  if (!counted_ || left_ != 0) throw TRpcError("Stream read error");
  if (static_cast<int32_t>(LoadLe32(ByteSpan(head_ + 1, 4))) <= 0) return OleVariant::Null();
  return std::nullopt;
}

}  // namespace selvane
