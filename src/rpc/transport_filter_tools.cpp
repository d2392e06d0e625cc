#include "rpc/transport_filter_tools.h"

namespace selvane {

namespace {
FilterHeader Encode(uint8_t mark, uint32_t length) {
  return {mark, static_cast<uint8_t>(length >> 24), static_cast<uint8_t>(length >> 16),
          static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length)};
}
}  // namespace

FilterHeader EncodePublicKeyLength(uint32_t length) { return Encode(kPublicKeyMark, length); }
FilterHeader EncodeDataLength(uint32_t length) { return Encode(kDataMark, length); }

int64_t DecodeDataLen(std::span<const uint8_t, 5> header) {
  if (header[0] != kPublicKeyMark && header[0] != kDataMark) return -1;
  const uint32_t v = (uint32_t{header[1]} << 24) | (uint32_t{header[2]} << 16) | (uint32_t{header[3]} << 8) | header[4];
  return static_cast<int32_t>(v);
}

}  // namespace selvane
