#pragma once
// A channel over memory: the peer's bytes are queued in advance (or supplied
// by a callback when the client writes), and everything written is recorded.
// Used under the message layer by tests and fuzzers.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

#include "base/ole_variant.h"
#include "rpc/rpc_channel.h"

namespace selvane {

class TRpcMemoryChannel : public TRpcChannel {
 public:
  // Reads hand out at most `max_read` bytes at a time, to exercise readers
  // that must ask again for the rest of a token or block.
  explicit TRpcMemoryChannel(size_t max_read = SIZE_MAX) : max_read_(max_read) {}

  // Queues bytes for the reader.
  void Feed(std::span<const uint8_t> bytes);
  void Feed(std::string_view text);

  // Called with every write, after it was recorded; may Feed a reply.
  std::function<void(std::span<const uint8_t>)> on_write;

  // Everything written so far, and each Write call's bytes apart.
  const Bytes& written() const { return written_; }
  const std::vector<Bytes>& writes() const { return writes_; }
  void ClearWritten();
  size_t pending() const { return input_.size() - read_pos_; }

  int Read(std::span<uint8_t> buffer) override;  // -1 when nothing is queued
  int Write(std::span<const uint8_t> bytes) override;
  std::string GetChannelInfo() override { return "memory"; }

 private:
  size_t max_read_;
  Bytes input_;
  size_t read_pos_ = 0;
  Bytes written_;
  std::vector<Bytes> writes_;
};

}  // namespace selvane
