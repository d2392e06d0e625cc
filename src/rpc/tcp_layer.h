#pragma once
// The "tcp/ip" communication layer: one TCP socket, Nagle off, with the
// connect time limit applying to the wait for the first byte received and the
// communication time limit to every later read.

#include <atomic>
#include <memory>

#include "platform/socket.h"
#include "rpc/communication_layer.h"

namespace selvane {

class TRpcTcpLayer : public TRpcCommunicationLayer {
 public:
  TRpcTcpLayer() = default;
  // Over a socket that is already connected (a server's accepted connection).
  explicit TRpcTcpLayer(std::unique_ptr<TcpSocket> socket) : socket_(std::move(socket)) {}
  ~TRpcTcpLayer() override { Close(); }

  // Host from HostName, port from Port (-1 when absent), IPv6 when
  // CommunicationIPVersion trimmed is "IP_IPv6"; the time limits are those set
  // on the layer. Raises the socket layer's errors.
  void Open(const TRpcProperties& properties) override;
  void Close() override;
  // Waits for a byte, then takes what has arrived up to the buffer's size.
  // When a time limit passes the layer is terminated and the read raises
  // TRpcError "Connection timeout error" (before the first byte) or
  // "Communication timeout error"; any other failure of a limited read
  // raises the same text.
  int Read(std::span<uint8_t> buffer) override;
  int Write(std::span<const uint8_t> bytes) override;
  std::string Info() override { return info_; }
  void Terminate() override;

 private:
  std::unique_ptr<TcpSocket> socket_;
  std::atomic<bool> terminated_{false};
  bool received_any_ = false;
  std::string info_;
};

}  // namespace selvane
