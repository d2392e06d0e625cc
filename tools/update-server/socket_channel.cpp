#include "socket_channel.h"

#include <algorithm>
#include <cstdint>
#include <utility>

namespace selvane::refserver {

SocketChannel::SocketChannel(std::unique_ptr<TcpSocket> socket) : socket_(std::move(socket)) {}

SocketChannel::~SocketChannel() = default;

void SocketChannel::SilenceAfter(int64_t budget, std::function<void()> on_silent) {
  silence_budget_ = budget;
  on_silent_ = std::move(on_silent);
}

void SocketChannel::Cut() {
  socket_->Shutdown();
  throw ConnectionDropped();
}

void SocketChannel::StaySilent() {
  if (on_silent_) std::exchange(on_silent_, nullptr)();
  uint8_t sink[4096];
  for (;;) socket_->Read(sink);  // ends with the client's close (or Stop's shutdown)
}

int SocketChannel::Read(std::span<uint8_t> buffer) {
  size_t want = std::min<size_t>(buffer.size(), INT32_MAX);
  if (cut_budget_ == 0) Cut();
  if (cut_budget_ > 0) want = std::min<size_t>(want, static_cast<size_t>(cut_budget_));
  const size_t n = socket_->Read(buffer.first(want));
  if (cut_budget_ > 0) cut_budget_ -= static_cast<int64_t>(n);
  return static_cast<int>(n);
}

int SocketChannel::Write(std::span<const uint8_t> bytes) {
  if (silence_budget_ >= 0 && static_cast<uint64_t>(silence_budget_) < bytes.size()) {
    socket_->WriteAll(bytes.first(static_cast<size_t>(silence_budget_)));
    silence_budget_ = 0;
    StaySilent();
  }
  if (silence_budget_ > 0) silence_budget_ -= static_cast<int64_t>(bytes.size());
  if (cut_budget_ >= 0 && static_cast<uint64_t>(cut_budget_) < bytes.size()) {
    socket_->WriteAll(bytes.first(static_cast<size_t>(cut_budget_)));
    cut_budget_ = 0;
    Cut();
  }
  if (cut_budget_ > 0) cut_budget_ -= static_cast<int64_t>(bytes.size());
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
