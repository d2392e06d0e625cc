// Arbitrary bytes as a fetched container: reading must end in a clean
// failure or in data, never in a crash, a hang or an oversized allocation;
// and what it writes is what the container declares. The bytes are inflated
// here too and walked by their declared lengths: the read succeeds exactly
// when the stream is complete and every declared length is present, and then
// entry i's file received exactly the declared bytes of entry i, and was closed.

#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <memory>
#include <optional>
#include <vector>

#include "base/ole_variant.h"
#include "protocol/container_reader.h"

namespace {

using selvane::Bytes;

void Require(bool ok) {
  if (!ok) abort();
}

constexpr size_t kPlainLimit = 64u << 20;  // beyond this the walk below is skipped

struct Plain {
  Bytes bytes;
  bool complete = false;  // the stream reached its end
  bool over_limit = false;
};

Plain Inflate(const uint8_t* data, size_t size) {
  Plain p;
  z_stream z{};
  if (inflateInit(&z) != Z_OK) abort();
  z.next_in = const_cast<Bytef*>(data);
  z.avail_in = static_cast<uInt>(size);
  uint8_t out[65536];
  while (true) {
    z.next_out = out;
    z.avail_out = sizeof out;
    const int rc = inflate(&z, Z_NO_FLUSH);
    p.bytes.insert(p.bytes.end(), out, out + (sizeof out - z.avail_out));
    if (p.bytes.size() > kPlainLimit) {
      p.over_limit = true;
      break;
    }
    if (rc == Z_STREAM_END) {
      p.complete = true;
      break;
    }
    if (rc != Z_OK) break;  // damaged, or the input ran out
  }
  inflateEnd(&z);
  return p;
}

struct Entry {
  size_t offset = 0, length = 0;
};

// The entries the plain bytes declare, as far as they are whole; ok is false
// when a length is negative or a declared part is missing.
struct Declared {
  std::vector<Entry> entries;
  bool ok = false;
};

Declared Walk(const Bytes& plain) {
  Declared d;
  size_t at = 0;
  auto int32 = [&]() -> std::optional<int32_t> {
    if (plain.size() - at < 4) return std::nullopt;
    int32_t v;
    const uint32_t u = uint32_t{plain[at]} | uint32_t{plain[at + 1]} << 8 | uint32_t{plain[at + 2]} << 16 |
                       uint32_t{plain[at + 3]} << 24;
    std::memcpy(&v, &u, 4);
    at += 4;
    return v;
  };
  auto part = [&]() -> std::optional<Entry> {
    const auto n = int32();
    if (!n || *n < 0 || plain.size() - at < static_cast<size_t>(*n)) return std::nullopt;
    Entry e{at, static_cast<size_t>(*n)};
    at += e.length;
    return e;
  };
  const auto count = int32();
  if (!count) return d;
  for (int32_t i = 0; i < *count; ++i) {
    if (!part()) return d;  // the name
    const auto data = part();
    if (!data) return d;
    d.entries.push_back(*data);
    if (at < plain.size()) ++at;  // the end byte, which the last entry may lack
  }
  d.ok = true;
  return d;
}

// Checks each write against the declared bytes of its entry as it comes.
class CheckingSink : public selvane::WritableFile {
 public:
  CheckingSink(const Bytes* plain, std::optional<Entry> entry, bool* closed)
      : plain_(plain), entry_(entry), closed_(closed) {}
  void Write(const void* buf, size_t n) override {
    Require(!*closed_);
    if (entry_) {
      Require(written_ + n <= entry_->length);
      Require(std::memcmp(buf, plain_->data() + entry_->offset + written_, n) == 0);
    }
    written_ += n;
  }
  bool SetLastWriteDos(selvane::DosDateTime) override { return true; }
  void Close() override {
    Require(!*closed_);
    if (entry_) Require(written_ == entry_->length);
    *closed_ = true;
  }

 private:
  const Bytes* plain_;
  std::optional<Entry> entry_;
  size_t written_ = 0;
  bool* closed_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const Plain plain = Inflate(data, size);
  const bool judged = !plain.over_limit;
  const Declared declared = judged ? Walk(plain.bytes) : Declared{};
  const bool valid = judged && plain.complete && declared.ok;

  std::vector<std::unique_ptr<bool>> closed;
  int32_t written = -1;
  try {
    written = selvane::ReadContainer({data, size}, [&]() -> std::unique_ptr<selvane::WritableFile> {
      const size_t i = closed.size();
      std::optional<Entry> entry;
      if (judged) {
        if (i < declared.entries.size()) {
          entry = declared.entries[i];
        } else {
          Require(!declared.ok);  // only an entry whose data is cut short
        }
      }
      closed.push_back(std::make_unique<bool>(false));
      return std::make_unique<CheckingSink>(&plain.bytes, entry, closed.back().get());
    });
  } catch (const std::exception&) {
  }
  if (!judged) return 0;
  Require((written >= 0) == valid);
  if (!valid) return 0;
  Require(static_cast<size_t>(written) == declared.entries.size() && closed.size() == declared.entries.size());
  for (const auto& c : closed) Require(*c);
  return 0;
}
