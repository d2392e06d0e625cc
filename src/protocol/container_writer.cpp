#include "protocol/container_writer.h"

#include <zlib.h>

#include <algorithm>
#include <limits>
#include <string>

#include "base/byte_order.h"

namespace selvane {

namespace {
constexpr size_t kBlock = 64 * 1024;
constexpr uint64_t kMaxCount = std::numeric_limits<int32_t>::max();
}  // namespace

// One deflater per thread, reset for every container: a fresh one costs more
// than compressing a small file.
struct ContainerWriter::Stream {
  Stream() {
    if (deflateInit(&z, Z_DEFAULT_COMPRESSION) != Z_OK) throw ContainerError("deflateInit failed");
  }
  ~Stream() { deflateEnd(&z); }
  z_stream z{};
  uint8_t block[kBlock];
};

ContainerWriter::Stream& ContainerWriter::ThreadStream() {
  thread_local Stream stream;
  return stream;
}

ContainerWriter::ContainerWriter(std::string_view name, uint64_t data_length)
    : stream_(ThreadStream()), remaining_(data_length) {
  if (name.size() > kMaxCount || data_length > kMaxCount) {
    throw ContainerError("File too large for a container: " + std::string(name));
  }
  if (deflateReset(&stream_.z) != Z_OK) throw ContainerError("deflateReset failed");
  // Room for the whole container at once: growing a large one would copy it again and again.
  out_.reserve(deflateBound(&stream_.z, static_cast<uLong>(data_length + name.size() + 13)));
  Bytes head;
  AppendLe32(head, 1);
  AppendLe32(head, static_cast<uint32_t>(name.size()));
  head.insert(head.end(), name.begin(), name.end());
  AppendLe32(head, static_cast<uint32_t>(data_length));
  Deflate(head, false);
}

ContainerWriter::~ContainerWriter() = default;

void ContainerWriter::Deflate(std::span<const uint8_t> data, bool finish) {
  z_stream& z = stream_.z;
  z.next_in = const_cast<Bytef*>(data.data());
  z.avail_in = static_cast<uInt>(data.size());
  int rc;
  do {
    z.next_out = stream_.block;
    z.avail_out = static_cast<uInt>(kBlock);
    rc = deflate(&z, finish ? Z_FINISH : Z_NO_FLUSH);
    if (rc == Z_STREAM_ERROR) throw ContainerError("deflate failed");
    out_.insert(out_.end(), stream_.block, stream_.block + (kBlock - z.avail_out));
  } while (z.avail_in > 0 || z.avail_out == 0 || (finish && rc != Z_STREAM_END));
}

void ContainerWriter::Append(std::span<const uint8_t> data) {
  if (data.size() > remaining_) throw ContainerError("More data than announced for the container");
  remaining_ -= data.size();
  while (!data.empty()) {
    const size_t n = std::min(data.size(), kBlock);
    Deflate(data.first(n), false);
    data = data.subspan(n);
  }
}

Bytes ContainerWriter::Finish() {
  if (remaining_ != 0) throw ContainerError("Container data is incomplete");
  const uint8_t end = 0;
  Deflate({&end, 1}, true);
  return std::move(out_);
}

Bytes MakeContainer(std::string_view name, std::span<const uint8_t> data) {
  ContainerWriter w(name, data.size());
  w.Append(data);
  return w.Finish();
}

}  // namespace selvane
