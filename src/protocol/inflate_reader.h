#pragma once
// A zlib stream (header, deflate data, Adler-32 trailer) read from a byte
// source in blocks. Only a fixed-size input buffer is held; callers pull the
// inflated bytes in whatever amounts they need.

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <stdexcept>
#include <vector>

namespace selvane {

// The compressed data is damaged; carries zlib's own text ("data error", ...).
class EZDecompressionError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The stream ended before the bytes that were asked for.
class EReadError : public std::runtime_error {
 public:
  EReadError() : std::runtime_error("Stream read error") {}
};

// Where compressed bytes come from: up to n bytes into buf, 0 only at the end.
// Its failures pass through the reader unchanged.
using ByteSource = std::function<size_t(void* buf, size_t n)>;

// A source over bytes in memory; `bytes` must outlive it.
ByteSource SpanSource(std::span<const uint8_t> bytes);

// A zlib stream pushed in pieces, inflated into one output block made once
// and reused for every stream (Reset), and handed on block by block.
class Inflater {
 public:
  explicit Inflater(size_t out_block = 256 * 1024);
  ~Inflater();
  Inflater(const Inflater&) = delete;
  Inflater& operator=(const Inflater&) = delete;

  // Starts a new stream, keeping the buffers and zlib's state.
  void Reset();
  // Inflates `in` and hands every inflated run to `out`; bytes after the
  // stream's end are ignored. Damaged data throws EZDecompressionError.
  void Feed(std::span<const uint8_t> in, const std::function<void(std::span<const uint8_t>)>& out);
  // The stream's end (trailer checked) has been seen.
  bool ended() const { return ended_; }

 private:
  struct State;
  std::unique_ptr<State> state_;
  std::vector<uint8_t> out_;
  bool ended_ = false;
};

class InflateReader {
 public:
  explicit InflateReader(ByteSource source);
  ~InflateReader();
  InflateReader(const InflateReader&) = delete;
  InflateReader& operator=(const InflateReader&) = delete;

  // Up to n inflated bytes; 0 only at the end of the stream.
  size_t Read(void* buf, size_t n);
  // Exactly n bytes, or EReadError.
  void ReadExactly(void* buf, size_t n);
  // Discards what is left and checks the trailer: a stream that does not end
  // whole (cut short, bad checksum) fails here.
  void Finish();

 private:
  struct State;
  ByteSource source_;
  std::unique_ptr<State> state_;
  bool ended_ = false;
};

}  // namespace selvane
