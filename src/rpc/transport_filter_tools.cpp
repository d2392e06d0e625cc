#include "rpc/transport_filter_tools.h"

#include "base/byte_order.h"

namespace selvane {

namespace {
FilterHeader Encode(uint8_t mark, uint32_t length) {
  FilterHeader header{mark};
  StoreBigEndian(std::span(header).subspan(1), length);
  return header;
}
}  // namespace

FilterHeader EncodePublicKeyLength(uint32_t length) { return Encode(kPublicKeyMark, length); }
FilterHeader EncodeDataLength(uint32_t length) { return Encode(kDataMark, length); }

int64_t DecodeDataLen(std::span<const uint8_t, 5> header) {
  if (header[0] != kPublicKeyMark && header[0] != kDataMark) return -1;
  return static_cast<int32_t>(LoadBe32(header.subspan(1)));
}

}  // namespace selvane
