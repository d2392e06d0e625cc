#pragma once
// The server's side of one client connection as a channel for the message
// reader and writer, with the one fault the server can inject on purpose:
// dropping the connection part-way through a reply.

#include <cstdint>
#include <functional>
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
  // Shut the connection once `total` bytes passed in either direction,
  // counted together from now on. Negative: never.
  void CutAfter(int64_t total) { cut_budget_ = total; }
  // Go silent once `budget` more bytes were written: the rest of that write
  // and every later one is swallowed, and the channel reads and drops what
  // the client sends until it goes away, then throws ConnectionDropped.
  // `on_silent` runs once, after the last byte that does leave was sent.
  void SilenceAfter(int64_t budget, std::function<void()> on_silent);

 private:
  [[noreturn]] void Cut();
  [[noreturn]] void StaySilent();

  std::unique_ptr<TcpSocket> socket_;
  int64_t budget_ = -1;
  int64_t cut_budget_ = -1;
  int64_t silence_budget_ = -1;
  std::function<void()> on_silent_;
};

}  // namespace selvane::refserver
