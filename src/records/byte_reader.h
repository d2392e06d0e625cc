#pragma once
// Little-endian reads over untrusted bytes. Every read checks what remains and
// reports a short packet as "Mismatch in datapacket.".

#include <cstddef>
#include <cstdint>
#include <span>

#include "base/byte_order.h"
#include "records/db_errors.h"

namespace selvane {

class ByteReader {
 public:
  explicit ByteReader(std::span<const uint8_t> bytes, size_t pos = 0) : bytes_(bytes), pos_(pos) {
    if (pos_ > bytes_.size()) ThrowDBClient(dberr::kMismatch);
  }

  size_t pos() const { return pos_; }
  size_t remaining() const { return bytes_.size() - pos_; }

  std::span<const uint8_t> Take(size_t n) {
    if (n > remaining()) ThrowDBClient(dberr::kMismatch);
    auto out = bytes_.subspan(pos_, n);
    pos_ += n;
    return out;
  }
  uint8_t U8() { return Take(1)[0]; }
  uint16_t U16() { return LoadLe16(Take(2)); }
  uint32_t U32() { return LoadLe32(Take(4)); }

 private:
  std::span<const uint8_t> bytes_;
  size_t pos_;
};

}  // namespace selvane
