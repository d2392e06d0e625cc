#pragma once
// Reads the container in which the server delivers one file: a zlib stream
// holding an entry count and, per entry, a name, the data and an end byte (all
// integers 32-bit signed little-endian). Entry names are read and dropped.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <stdexcept>

#include "base/file_stream.h"
#include "protocol/inflate_reader.h"

namespace selvane {

// A name or data length below zero: the container is not one of ours.
class EInvalidContainer : public std::runtime_error {
 public:
  EInvalidContainer() : std::runtime_error("Invalid stream format") {}
};

// Each entry's data goes to a fresh file, in blocks, and the file is closed
// after the entry's last byte.
using OpenEntry = std::function<std::unique_ptr<WritableFile>()>;

// For every entry opens a fresh sink through `open_entry` and streams the
// entry's data into it. Returns the number of entries written (0 when the
// count is zero or negative, and then `open_entry` is never called). The whole
// stream, trailer included, must be present; anything short or damaged throws
// EReadError, EZDecompressionError or EInvalidContainer.
int32_t ReadContainer(ByteSource source, const OpenEntry& open_entry);
int32_t ReadContainer(std::span<const uint8_t> container, const OpenEntry& open_entry);

}  // namespace selvane
