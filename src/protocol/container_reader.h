#pragma once
// Reads the container in which the server delivers one file: a zlib stream
// holding an entry count and, per entry, a name, the data and an end byte (all
// integers 32-bit signed little-endian). Entry names are read and dropped.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
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

// ReadContainer for a container that is pushed in compressed pieces, as they
// come off the network: the same entries reach the same sinks with the same
// bytes, and the same containers fail with the same errors. The inflater and
// its buffers are made once and serve one container after another.
class ContainerStreamReader {
 public:
  ContainerStreamReader() = default;

  // Starts a container; `open_entry` must outlive it.
  void Start(const OpenEntry& open_entry);
  void Feed(std::span<const uint8_t> compressed);
  // After the last piece: checks that the whole stream, trailer included,
  // was there, and returns the number of entries written. The last entry's
  // file stays open until then, so that `stamp`, when given, is set as its
  // last-write time on the open handle (a failure to set it is not one of
  // the container's) before it is closed.
  int32_t Finish(std::optional<DosDateTime> stamp = std::nullopt);
  // Closes an entry left open by a failure, so that its file can be deleted.
  void Abort() { target_.reset(); }

 private:
  enum class Phase { kCount, kNameLength, kName, kDataLength, kData, kEndByte, kDone };
  void Parse(std::span<const uint8_t> inflated);
  void NextEntry();
  int32_t TakeInt32();

  Inflater inflater_;
  const OpenEntry* open_entry_ = nullptr;
  std::unique_ptr<WritableFile> target_;
  Phase phase_ = Phase::kDone;
  uint8_t number_[4] = {};
  size_t number_size_ = 0;
  int32_t count_ = 0;
  int32_t entry_ = 0;
  size_t left_ = 0;
};

}  // namespace selvane
