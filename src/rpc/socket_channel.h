#pragma once
// The channel over a communication layer chosen by CommunicationProtocol.

#include <memory>

#include "rpc/communication_layer.h"
#include "rpc/rpc_channel.h"

namespace selvane {

class TRpcSocketChannel : public TRpcChannel {
 public:
  TRpcSocketChannel() = default;
  // Over a layer that is already open (a server's accepted connection).
  explicit TRpcSocketChannel(std::unique_ptr<TRpcCommunicationLayer> layer) : layer_(std::move(layer)) {}
  ~TRpcSocketChannel() override { Close(); }

  // Raises TRpcError "Protocol P can be used after an adequate instance of
  // TRpcCommunicationLayer is registered with TRpcCommunicationLayerFactory."
  // for a protocol without layer; then opens the layer with the properties'
  // time limits (negative values: none).
  void Open() override;
  void Close() override;
  int Read(std::span<uint8_t> buffer) override;
  int Write(std::span<const uint8_t> bytes) override;
  std::string GetChannelInfo() override { return layer_ ? layer_->Info() : std::string(); }
  TRpcCommunicationLayer* layer() const { return layer_.get(); }
  // The wait that the layers opened from now on use for limited reads.
  void SetReadWait(std::shared_ptr<TRpcReadWait> wait) { read_wait_ = std::move(wait); }

 private:
  std::shared_ptr<TRpcReadWait> read_wait_;
  std::unique_ptr<TRpcCommunicationLayer> layer_;
};

}  // namespace selvane
