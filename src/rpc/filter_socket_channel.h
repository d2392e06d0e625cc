#pragma once
// The top of the transport stack: runs the filter handshake on the first
// write and, when the server frames its data, frames and unframes the bytes.
//
// This client registers no transport filter. A server that uses none (answer
// 06 00 00 00 00) gets the bytes unchanged (pass-through). A server that asks
// for a filter is refused with a TRpcError before any of the caller's bytes
// leave, so opening fails with a clear message; a server that frames its data
// without naming any filter is served with plain 0x0D frames.

#include <memory>
#include <string>
#include <vector>

#include "base/ole_variant.h"
#include "rpc/rpc_channel.h"

namespace selvane {

class TRpcFilterSocketChannel : public TRpcChannel {
 public:
  enum Flag : int { kNotNegotiated = 0, kFiltering = 1, kPassThrough = -1 };

  TRpcFilterSocketChannel() = default;
  ~TRpcFilterSocketChannel() override { Close(); }

  // A non-empty Filters setting creates the filter list ("{}": empty list).
  // An identifier in it raises "Communication filter X is not registered. ..."
  // and text that is no JSON object raises "Invalid Filters setting".
  void SetRpcProperties(const TRpcProperties& properties) override;
  void Open() override;
  void Close() override;
  int Read(std::span<uint8_t> buffer) override;
  int Write(std::span<const uint8_t> bytes) override;
  bool IsConnectionLost() override { return channel_ ? channel_->IsConnectionLost() : true; }
  std::string GetChannelInfo() override { return channel_ ? channel_->GetChannelInfo() : std::string(); }

  void SetChannel(std::unique_ptr<TRpcChannel> delegate) { channel_ = std::move(delegate); }
  bool HasLeftover() const { return leftover_pos_ < leftover_.size(); }
  bool HasFilters() const { return has_filter_list_ && !filters_.empty(); }
  int GetFlag() const { return flag_; }

 private:
  void Handshake();
  void ReadExactly(uint8_t* out, size_t count);
  Bytes ReadBlock(size_t count);

  std::unique_ptr<TRpcChannel> channel_;
  int flag_ = kNotNegotiated;
  bool has_filter_list_ = false;
  std::vector<std::string> filters_;  // identifiers; none can be created here
  Bytes leftover_;
  size_t leftover_pos_ = 0;
};

}  // namespace selvane
