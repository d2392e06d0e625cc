#include "protocol/container_reader.h"

#include <array>
#include <utility>

#include "base/byte_order.h"

namespace selvane {

namespace {

constexpr size_t kCopyBlock = 64 * 1024;

int32_t ReadInt32(InflateReader& in) {
  uint8_t b[4];
  in.ReadExactly(b, sizeof b);
  return static_cast<int32_t>(LoadLe32(b));
}

int32_t ReadLength(InflateReader& in) {
  int32_t n = ReadInt32(in);
  if (n < 0) throw EInvalidContainer();
  return n;
}

void Skip(InflateReader& in, size_t n, std::array<uint8_t, kCopyBlock>& buf) {
  while (n > 0) {
    size_t chunk = n < buf.size() ? n : buf.size();
    in.ReadExactly(buf.data(), chunk);
    n -= chunk;
  }
}

}  // namespace

int32_t ReadContainer(ByteSource source, const OpenEntry& open_entry) {
  InflateReader in(std::move(source));
  std::array<uint8_t, kCopyBlock> buf;
  int32_t count = ReadInt32(in);
  for (int32_t i = 0; i < count; ++i) {
    Skip(in, static_cast<size_t>(ReadLength(in)), buf);
    size_t left = static_cast<size_t>(ReadLength(in));
    std::unique_ptr<WritableFile> target = open_entry();
    while (left > 0) {
      size_t chunk = left < buf.size() ? left : buf.size();
      in.ReadExactly(buf.data(), chunk);
      target->Write(buf.data(), chunk);
      left -= chunk;
    }
    target->Close();
    // The end byte; the last entry's may be missing.
    in.Read(buf.data(), 1);
  }
  in.Finish();
  return count > 0 ? count : 0;
}

int32_t ReadContainer(std::span<const uint8_t> container, const OpenEntry& open_entry) {
  return ReadContainer(SpanSource(container), open_entry);
}

}  // namespace selvane
