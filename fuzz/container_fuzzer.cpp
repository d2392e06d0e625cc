// Arbitrary bytes as a fetched container: unpacking must end in a clean
// failure or in data, never in a crash, a hang or an oversized allocation.

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "install/container.h"

namespace {

class SpanFile : public selvane::ReadableFile {
 public:
  SpanFile(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  size_t Read(void* buf, size_t n) override {
    size_t take = n < size_ - at_ ? n : size_ - at_;
    if (take != 0) std::memcpy(buf, data_ + at_, take);
    at_ += take;
    return take;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
};

class CountingSink : public selvane::WritableFile {
 public:
  void Write(const void*, size_t n) override { written += n; }
  void Close() override {}
  size_t written = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  SpanFile in(data, size);
  try {
    selvane::UnpackContainer(in, [] { return std::make_unique<CountingSink>(); });
  } catch (const std::exception&) {
  }
  return 0;
}
