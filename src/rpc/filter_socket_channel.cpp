#include "rpc/filter_socket_channel.h"

#include <algorithm>
#include <cstring>
#include <nlohmann/json.hpp>

#include "rpc/rpc_error.h"
#include "rpc/rpc_limits.h"
#include "rpc/transport_filter_tools.h"

namespace selvane {

namespace {

[[noreturn]] void NotRegistered(const std::string& id) {
  throw TRpcError("Communication filter " + id +
                  " is not registered. Filter class needs to be registered in order to communicate with the server.");
}

[[noreturn]] void HandshakeFailed() {
  throw TRpcError("The transport filter handshake with the server failed; nothing was sent.");
}

// The identifiers of a filter description object; no filter can be created
// in this client, so any identifier is refused.
void RefuseFilters(const nlohmann::json& description) {
  if (!description.is_object()) HandshakeFailed();
  if (!description.empty()) NotRegistered(description.begin().key());
}

}  // namespace

void TRpcFilterSocketChannel::SetRpcProperties(const TRpcProperties& properties) {
  TRpcChannel::SetRpcProperties(properties);
  if (channel_) channel_->SetRpcProperties(properties);
  const std::string text = properties.Get("Filters");
  filters_.clear();
  has_filter_list_ = !text.empty();
  if (!has_filter_list_) return;
  const nlohmann::json description = nlohmann::json::parse(text, nullptr, false);
  if (description.is_discarded() || !description.is_object()) throw TRpcError("Invalid Filters setting");
  RefuseFilters(description);
}

void TRpcFilterSocketChannel::Open() {
  flag_ = kNotNegotiated;
  leftover_.clear();
  leftover_pos_ = 0;
  if (channel_) channel_->Open();
}

void TRpcFilterSocketChannel::Close() {
  if (channel_) channel_->Close();
}

void TRpcFilterSocketChannel::ReadExactly(uint8_t* out, size_t count) {
  while (count > 0) {
    const int n = channel_->Read(std::span<uint8_t>(out, count));
    if (n <= 0) throw TRpcError("Read error", kRpcErrorWarning);
    out += n;
    count -= static_cast<size_t>(n);
  }
}

Bytes TRpcFilterSocketChannel::ReadBlock(size_t count) {
  // Grow with what arrives, so a forged length cannot reserve memory up front.
  Bytes block;
  uint8_t chunk[16384];
  while (block.size() < count) {
    const size_t want = std::min(sizeof chunk, count - block.size());
    ReadExactly(chunk, want);
    block.insert(block.end(), chunk, chunk + want);
  }
  return block;
}

void TRpcFilterSocketChannel::Handshake() {
  const int w = channel_->Write(kFilterQuery);
  if (w < 0) HandshakeFailed();
  FilterHeader answer;
  ReadExactly(answer.data(), answer.size());
  if (answer == kNoFilter) {
    flag_ = kPassThrough;
    return;
  }
  // A public-key filter exchange would need filters this client does not have.
  if (answer[0] == kPublicKeyMark) {
    throw TRpcError("The server demands public-key transport filters, which this client does not use.");
  }
  const int64_t length = DecodeDataLen(answer);
  if (length < 0) HandshakeFailed();
  if (static_cast<uint64_t>(length) > kMaxFilterParameterBytes) {
    RaiseRpcLimit(kMaxFilterParameterBytes, "bytes of filter parameters");
  }
  const Bytes block = ReadBlock(static_cast<size_t>(length));
  const nlohmann::json parameters = nlohmann::json::parse(block.begin(), block.end(), nullptr, false);
  if (parameters.is_discarded()) HandshakeFailed();
  RefuseFilters(parameters);
  // The server frames its data but names no filter: frames carry plain bytes.
  static constexpr std::string_view kNoParameters = "{}";
  const FilterHeader header = EncodeDataLength(kNoParameters.size());
  Bytes reply(header.begin(), header.end());
  reply.insert(reply.end(), kNoParameters.begin(), kNoParameters.end());
  if (channel_->Write(reply) < 0) HandshakeFailed();
  flag_ = kFiltering;
}

int TRpcFilterSocketChannel::Write(std::span<const uint8_t> bytes) {
  if (!channel_) return -1;
  if (flag_ == kNotNegotiated) Handshake();
  if (bytes.empty()) return 0;
  if (flag_ == kPassThrough) return channel_->Write(bytes);
  const FilterHeader header = EncodeDataLength(static_cast<uint32_t>(bytes.size()));
  Bytes frame(header.begin(), header.end());
  frame.insert(frame.end(), bytes.begin(), bytes.end());
  const int n = channel_->Write(frame);
  return n < 0 ? -1 : static_cast<int>(bytes.size());
}

int TRpcFilterSocketChannel::Read(std::span<uint8_t> buffer) {
  if (!channel_) return -1;
  if (flag_ != kFiltering) return channel_->Read(buffer);
  for (size_t empty = 0; !HasLeftover(); ++empty) {  // empty frames carry nothing to hand out
    if (empty == kMaxEmptyFrames) RaiseRpcLimit(kMaxEmptyFrames, "empty frames");
    FilterHeader header;
    ReadExactly(header.data(), header.size());
    const int64_t length = DecodeDataLen(header);
    if (length < 0) throw TRpcError("Invalid frame header from the server");
    if (static_cast<uint64_t>(length) > kMaxFrameBytes) RaiseRpcLimit(kMaxFrameBytes, "bytes in a frame");
    leftover_ = ReadBlock(static_cast<size_t>(length));
    leftover_pos_ = 0;
  }
  const size_t n = std::min(buffer.size(), leftover_.size() - leftover_pos_);
  std::memcpy(buffer.data(), leftover_.data() + leftover_pos_, n);
  leftover_pos_ += n;
  return static_cast<int>(n);
}

}  // namespace selvane
