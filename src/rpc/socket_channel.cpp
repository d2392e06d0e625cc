#include "rpc/socket_channel.h"

#include "rpc/rpc_error.h"

namespace selvane {

void TRpcSocketChannel::Open() {
  Close();
  std::string protocol = properties_.Get("CommunicationProtocol");
  if (protocol.empty()) protocol = "tcp/ip";
  layer_ = TRpcCommunicationLayerFactory::Create(protocol);
  if (!layer_) {
    throw TRpcError("Protocol " + protocol +
                    " can be used after an adequate instance of TRpcCommunicationLayer is registered with "
                    "TRpcCommunicationLayerFactory.");
  }
  const int64_t connect_timeout = properties_.GetInteger("ConnectTimeout", -1);
  const int64_t communication_timeout = properties_.GetInteger("CommunicationTimeout", -1);
  if (connect_timeout >= 0) layer_->SetConnectTimeout(static_cast<int>(connect_timeout));
  if (communication_timeout >= 0) layer_->SetCommunicationTimeout(static_cast<int>(communication_timeout));
  if (read_wait_) layer_->SetReadWait(read_wait_);
  layer_->Open(properties_);
}

void TRpcSocketChannel::Close() {
  if (!layer_) return;
  layer_->Close();
  layer_.reset();
}

int TRpcSocketChannel::Read(std::span<uint8_t> buffer) { return layer_ ? layer_->Read(buffer) : -1; }

int TRpcSocketChannel::Write(std::span<const uint8_t> bytes) { return layer_ ? layer_->Write(bytes) : -1; }

}  // namespace selvane
