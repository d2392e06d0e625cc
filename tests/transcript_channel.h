#pragma once
// A channel in front of the client's transport that records the session as
// it passes: runs of bytes written and read, in order, so that a fault
// campaign can name every offset of every request and reply.

#include <cstdint>
#include <memory>
#include <vector>

#include "rpc/rpc_channel.h"
#include "rpc/rpc_connection.h"
#include "rpc/transport_filter_tools.h"

namespace selvane {

struct TranscriptRun {
  bool from_server = false;
  uint64_t begin = 0;  // offset in the session, both directions counted together
  uint64_t size = 0;
};

class Transcript {
 public:
  void Add(bool from_server, uint64_t n) {
    if (n == 0) return;
    if (runs_.empty() || runs_.back().from_server != from_server) runs_.push_back({from_server, total_, 0});
    runs_.back().size += n;
    total_ += n;
  }
  const std::vector<TranscriptRun>& runs() const { return runs_; }
  uint64_t total() const { return total_; }

 private:
  std::vector<TranscriptRun> runs_;
  uint64_t total_ = 0;
};

class TranscriptChannel : public TRpcChannel {
 public:
  TranscriptChannel(std::unique_ptr<TRpcChannel> inner, Transcript& transcript)
      : inner_(std::move(inner)), transcript_(transcript) {}
  void Open() override { inner_->Open(); }
  void Close() override { inner_->Close(); }
  int Read(std::span<uint8_t> buffer) override {
    const int n = inner_->Read(buffer);
    if (n > 0) transcript_.Add(true, static_cast<uint64_t>(n));
    return n;
  }
  int Write(std::span<const uint8_t> bytes) override {
    const int n = inner_->Write(bytes);
    // The first write ran the filter handshake below this channel: the query
    // and the server's answer, five bytes each.
    if (!handshake_seen_ && n >= 0) {
      handshake_seen_ = true;
      transcript_.Add(false, kFilterQuery.size());
      transcript_.Add(true, kNoFilter.size());
    }
    if (n > 0) transcript_.Add(false, static_cast<uint64_t>(n));
    return n;
  }
  std::string GetChannelInfo() override { return inner_->GetChannelInfo(); }
  void SetRpcProperties(const TRpcProperties& p) override {
    TRpcChannel::SetRpcProperties(p);
    inner_->SetRpcProperties(p);
  }

 private:
  std::unique_ptr<TRpcChannel> inner_;
  Transcript& transcript_;
  bool handshake_seen_ = false;
};

// The transport stack with its session recorded into `transcript`.
inline TRpcChannelFactory RecordedTransport(Transcript& transcript) {
  return [&transcript](const TRpcProperties& p) -> std::unique_ptr<TRpcChannel> {
    return std::make_unique<TranscriptChannel>(CreateTransportChannel(p), transcript);
  };
}

}  // namespace selvane
