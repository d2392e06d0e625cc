#pragma once
// A result value as the server sends it: the bytes of its variant stream,
// made of a small head and tail around a container that is shared by every
// client fetching the same file version and never copied into the value.

#include <cstdint>
#include <memory>
#include <span>

#include "base/ole_variant.h"
#include "container_cache.h"

namespace selvane::refserver {

class ServedValue {
 public:
  ServedValue() = default;
  // A value held whole.
  explicit ServedValue(Bytes whole) : head_(std::move(whole)) {}
  // head, the first `body_size` bytes of `body`, tail.
  ServedValue(Bytes head, std::shared_ptr<const CachedContainer> body, uint64_t body_size, Bytes tail)
      : head_(std::move(head)), body_(std::move(body)), body_size_(body_size), tail_(std::move(tail)) {}

  uint64_t size() const { return head_.size() + body_size_ + tail_.size(); }
  // Hands over bytes [offset, offset + n) in pieces; body bytes come straight
  // from the cache, or through `buffer` when the cache keeps them on disk.
  void Read(uint64_t offset, uint64_t n, Bytes& buffer, const std::function<void(std::span<const uint8_t>)>& out) const;
  // The whole value in one buffer, for tests and small values.
  Bytes Gather() const;

 private:
  Bytes head_;
  std::shared_ptr<const CachedContainer> body_;
  uint64_t body_size_ = 0;
  Bytes tail_;
};

}  // namespace selvane::refserver
