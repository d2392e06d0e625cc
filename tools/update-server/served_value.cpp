#include "served_value.h"

#include <algorithm>

namespace selvane::refserver {

void ServedValue::Read(uint64_t offset, uint64_t n, Bytes& buffer,
                       const std::function<void(std::span<const uint8_t>)>& out) const {
  auto region = [&](uint64_t begin, uint64_t size, const auto& take) {
    const uint64_t from = std::max(offset, begin);
    const uint64_t to = std::min(offset + n, begin + size);
    if (from < to) take(from - begin, to - from);
  };
  region(0, head_.size(), [&](uint64_t at, uint64_t len) {
    out(std::span<const uint8_t>(head_).subspan(static_cast<size_t>(at), static_cast<size_t>(len)));
  });
  region(head_.size(), body_size_, [&](uint64_t at, uint64_t len) {
    // On disk the body comes through the buffer in blocks, so it never needs more than one.
    constexpr uint64_t kBlock = 1 << 20;
    for (uint64_t done = 0; done < len;) {
      const size_t step = static_cast<size_t>(std::min(kBlock, len - done));
      out(body_->Read(at + done, step, buffer));
      done += step;
    }
  });
  region(head_.size() + body_size_, tail_.size(), [&](uint64_t at, uint64_t len) {
    out(std::span<const uint8_t>(tail_).subspan(static_cast<size_t>(at), static_cast<size_t>(len)));
  });
}

Bytes ServedValue::Gather() const {
  Bytes all;
  all.reserve(static_cast<size_t>(size()));
  Bytes buffer;
  Read(0, size(), buffer, [&all](std::span<const uint8_t> piece) { all.insert(all.end(), piece.begin(), piece.end()); });
  return all;
}

}  // namespace selvane::refserver
