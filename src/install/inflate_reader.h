#pragma once
// A zlib stream (header, deflate data, Adler-32 trailer) read from a file in
// blocks. Only a fixed-size input buffer is held; callers pull the inflated
// bytes in whatever amounts they need.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>

#include "platform/env.h"

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

class InflateReader {
 public:
  explicit InflateReader(ReadableFile& source);
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
  ReadableFile& source_;
  std::unique_ptr<State> state_;
  bool ended_ = false;
};

}  // namespace selvane
