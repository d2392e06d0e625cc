#include "protocol/inflate_reader.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <span>
#include <utility>

namespace selvane {

namespace {
constexpr size_t kInputBlock = 64 * 1024;
}

struct InflateReader::State {
  z_stream z{};
  std::array<Bytef, kInputBlock> input{};
  bool source_done = false;
};

ByteSource SpanSource(std::span<const uint8_t> bytes) {
  return [bytes, at = size_t{0}](void* buf, size_t n) mutable {
    const size_t take = std::min(n, bytes.size() - at);
    if (take != 0) std::memcpy(buf, bytes.data() + at, take);
    at += take;
    return take;
  };
}

InflateReader::InflateReader(ByteSource source) : source_(std::move(source)), state_(new State) {
  if (inflateInit(&state_->z) != Z_OK) throw EZDecompressionError(zError(Z_MEM_ERROR));
}

InflateReader::~InflateReader() { inflateEnd(&state_->z); }

size_t InflateReader::Read(void* buf, size_t n) {
  z_stream& z = state_->z;
  auto* out = static_cast<Bytef*>(buf);
  size_t produced = 0;
  while (produced < n && !ended_) {
    if (z.avail_in == 0 && !state_->source_done) {
      size_t got = source_(state_->input.data(), state_->input.size());
      if (got == 0) state_->source_done = true;
      z.next_in = state_->input.data();
      z.avail_in = static_cast<uInt>(got);
    }
    size_t want = n - produced;
    if (want > (1u << 30)) want = 1u << 30;
    z.next_out = out + produced;
    z.avail_out = static_cast<uInt>(want);
    int rc = inflate(&z, Z_NO_FLUSH);
    produced += want - z.avail_out;
    if (rc == Z_STREAM_END) {
      ended_ = true;
    } else if (rc == Z_BUF_ERROR) {
      // No progress possible: the input ran out before the stream's end.
      if (state_->source_done && z.avail_in == 0) break;
    } else if (rc != Z_OK) {
      throw EZDecompressionError(z.msg != nullptr ? z.msg : zError(rc));
    } else if (state_->source_done && z.avail_in == 0 && z.avail_out != 0) {
      break;
    }
  }
  return produced;
}

void InflateReader::ReadExactly(void* buf, size_t n) {
  if (Read(buf, n) != n) throw EReadError();
}

void InflateReader::Finish() {
  std::array<uint8_t, 4096> sink;
  while (Read(sink.data(), sink.size()) != 0) {
  }
  if (!ended_) throw EReadError();
}

struct Inflater::State {
  z_stream z{};
};

Inflater::Inflater(size_t out_block) : state_(new State), out_(out_block) {
  if (inflateInit(&state_->z) != Z_OK) throw EZDecompressionError(zError(Z_MEM_ERROR));
}

Inflater::~Inflater() { inflateEnd(&state_->z); }

void Inflater::Reset() {
  inflateReset(&state_->z);
  ended_ = false;
}

void Inflater::Feed(std::span<const uint8_t> in, const std::function<void(std::span<const uint8_t>)>& out) {
  z_stream& z = state_->z;
  while (!in.empty() && !ended_) {
    // zlib counts in 32 bits.
    const size_t take = std::min<size_t>(in.size(), 1u << 30);
    z.next_in = const_cast<Bytef*>(in.data());
    z.avail_in = static_cast<uInt>(take);
    do {
      z.next_out = out_.data();
      z.avail_out = static_cast<uInt>(out_.size());
      const int rc = inflate(&z, Z_NO_FLUSH);
      const size_t produced = out_.size() - z.avail_out;
      // What came before damaged data is handed on first, as a reader pulling it would see it.
      if (produced != 0) out(std::span<const uint8_t>(out_.data(), produced));
      if (rc == Z_STREAM_END) {
        ended_ = true;
      } else if (rc != Z_OK && rc != Z_BUF_ERROR) {
        throw EZDecompressionError(z.msg != nullptr ? z.msg : zError(rc));
      }
      if (rc == Z_BUF_ERROR) break;  // no progress: this piece is used up
    } while (!ended_ && (z.avail_in != 0 || z.avail_out == 0));
    const size_t used = take - z.avail_in;
    in = in.subspan(used);
    if (used == 0) break;
  }
  z.next_in = nullptr;
  z.avail_in = 0;
}

}  // namespace selvane
