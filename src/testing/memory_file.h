#pragma once
// A file held in memory, for code that reads or writes one file it is handed
// (the container reader, a blob being saved): a ReadableFile over bytes and a
// WritableFile that collects or just counts what is written.

#include <algorithm>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "base/file_stream.h"

namespace selvane {

// Reads the bytes it is given, which must outlive it.
class MemoryFile : public ReadableFile {
 public:
  explicit MemoryFile(std::span<const uint8_t> bytes) : bytes_(bytes) {}
  explicit MemoryFile(std::string_view bytes)
      : bytes_(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()) {}
  size_t Read(void* buf, size_t n) override {
    n = std::min(n, bytes_.size() - at_);
    std::copy_n(bytes_.data() + at_, n, static_cast<uint8_t*>(buf));
    at_ += n;
    return n;
  }

 private:
  std::span<const uint8_t> bytes_;
  size_t at_ = 0;
};

// Collects what is written into *out, which it empties first as creating a
// file does; without out it only counts the bytes.
class MemorySink : public WritableFile {
 public:
  explicit MemorySink(std::string* out = nullptr) : out_(out) {
    if (out_ != nullptr) out_->clear();
  }
  void Write(const void* buf, size_t n) override {
    if (out_ != nullptr) out_->append(static_cast<const char*>(buf), n);
    written_ += n;
  }
  bool SetLastWriteDos(DosDateTime) override { return true; }
  void Close() override { closed_ = true; }

  size_t written() const { return written_; }
  bool closed() const { return closed_; }

 private:
  std::string* const out_;
  size_t written_ = 0;
  bool closed_ = false;
};

}  // namespace selvane
