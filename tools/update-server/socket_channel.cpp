#include "socket_channel.h"

#include <algorithm>
#include <cstdint>

namespace selvane::refserver {

SocketChannel::SocketChannel(std::unique_ptr<TcpSocket> socket) : socket_(std::move(socket)) {}

SocketChannel::~SocketChannel() = default;

int SocketChannel::Read(std::span<uint8_t> buffer) {
  return static_cast<int>(socket_->Read(buffer.first(std::min<size_t>(buffer.size(), INT32_MAX))));
}

int SocketChannel::Write(std::span<const uint8_t> bytes) {
  if (budget_ >= 0 && static_cast<uint64_t>(budget_) < bytes.size()) {
    socket_->WriteAll(bytes.first(static_cast<size_t>(budget_)));
    budget_ = 0;
    socket_->Shutdown();
    throw ConnectionDropped();
  }
  socket_->WriteAll(bytes);
  if (budget_ >= 0) budget_ -= static_cast<int64_t>(bytes.size());
  return static_cast<int>(bytes.size());
}

void SocketChannel::Shutdown() { socket_->Shutdown(); }

void SocketChannel::Close() { socket_->Close(); }

}  // namespace selvane::refserver
