#include "rpc/memory_channel.h"

#include <algorithm>
#include <cstring>

namespace selvane {

void TRpcMemoryChannel::Feed(std::span<const uint8_t> bytes) {
  if (read_pos_ == input_.size()) {
    input_.clear();
    read_pos_ = 0;
  }
  input_.insert(input_.end(), bytes.begin(), bytes.end());
}

void TRpcMemoryChannel::Feed(std::string_view text) {
  Feed(std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

void TRpcMemoryChannel::ClearWritten() {
  written_.clear();
  writes_.clear();
}

int TRpcMemoryChannel::Read(std::span<uint8_t> buffer) {
  const size_t n = std::min({buffer.size(), pending(), max_read_});
  if (n == 0) return -1;
  std::memcpy(buffer.data(), input_.data() + read_pos_, n);
  read_pos_ += n;
  return static_cast<int>(n);
}

int TRpcMemoryChannel::Write(std::span<const uint8_t> bytes) {
  written_.insert(written_.end(), bytes.begin(), bytes.end());
  writes_.emplace_back(bytes.begin(), bytes.end());
  if (on_write) on_write(bytes);
  return static_cast<int>(bytes.size());
}

}  // namespace selvane
