#pragma once
// The server's side of one client connection as a channel for the message
// reader and writer, with the one fault the server can inject on purpose:
// dropping the connection part-way through a reply.

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>

#include "platform/socket.h"
#include "rpc/rpc_channel.h"

namespace selvane::refserver {

// Thrown after the channel dropped the connection on purpose; ends the session.
class ConnectionDropped : public std::runtime_error {
 public:
  ConnectionDropped() : std::runtime_error("connection dropped on purpose") {}
};

class SocketChannel : public TRpcChannel {
 public:
  explicit SocketChannel(std::unique_ptr<TcpSocket> socket);
  ~SocketChannel() override;

  int Read(std::span<uint8_t> buffer) override;
  int Write(std::span<const uint8_t> bytes) override;
  std::string GetChannelInfo() override { return "accepted tcp/ip"; }
  void Close() override;

  // Shuts the connection from another thread; a waiting Read returns.
  void Shutdown();

  // From now on, shut the connection once `budget` more bytes were written
  // (the write that crosses it sends only the bytes up to it and throws
  // ConnectionDropped). Negative: never.
  void DropAfter(int64_t budget) { budget_ = budget; }

 private:
  std::unique_ptr<TcpSocket> socket_;
  int64_t budget_ = -1;
};

}  // namespace selvane::refserver
