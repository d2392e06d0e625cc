#pragma once
// Writes the container in which a file travels to the client (the reference
// server's side of container_reader.h): one zlib stream (header and Adler-32
// trailer) of
//   i32 entry count (1), i32 name length, name, i32 data length, data, end byte 0
// with every integer little-endian. The data is compressed block by block as it
// is appended, so the file itself is never copied whole.

#include <cstdint>
#include <memory>
#include <span>
#include <stdexcept>
#include <string_view>

#include "base/ole_variant.h"

namespace selvane {

class ContainerError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class ContainerWriter {
 public:
  // Throws ContainerError when the name or the length do not fit a 32-bit count.
  // Only one writer per thread may be open at a time.
  ContainerWriter(std::string_view name, uint64_t data_length);
  ~ContainerWriter();
  ContainerWriter(const ContainerWriter&) = delete;
  ContainerWriter& operator=(const ContainerWriter&) = delete;

  // Throws ContainerError on more bytes than were announced.
  void Append(std::span<const uint8_t> data);
  // The finished container; throws ContainerError when bytes are missing.
  Bytes Finish();

 private:
  struct Stream;
  static Stream& ThreadStream();
  void Deflate(std::span<const uint8_t> data, bool finish);

  Stream& stream_;
  Bytes out_;
  uint64_t remaining_;
};

Bytes MakeContainer(std::string_view name, std::span<const uint8_t> data);

}  // namespace selvane
