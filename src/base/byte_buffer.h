#pragma once

// A fixed-size buffer whose bytes are not cleared when it is made. A stream
// buffer of a megabyte filled with zeros costs a page fault for each of its
// pages at once, even when the connection then carries a few kilobytes; left
// as the allocator gives it, only the pages the stream really uses are
// touched.

#include <cstddef>
#include <cstdint>
#include <memory>

namespace selvane {

class ByteBuffer {
 public:
  explicit ByteBuffer(size_t size) : bytes_(std::make_unique_for_overwrite<uint8_t[]>(size)), size_(size) {}

  uint8_t* data() { return bytes_.get(); }
  const uint8_t* data() const { return bytes_.get(); }
  size_t size() const { return size_; }
  uint8_t& operator[](size_t i) { return bytes_[i]; }
  uint8_t operator[](size_t i) const { return bytes_[i]; }

 private:
  std::unique_ptr<uint8_t[]> bytes_;
  size_t size_;
};

}  // namespace selvane
