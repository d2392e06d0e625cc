#include "rpc/tcp_layer.h"

#include <optional>

#include "rpc/rpc_error.h"

namespace selvane {

namespace {

std::string Trimmed(std::string s) {
  const auto first = s.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

}  // namespace

void TRpcTcpLayer::Open(const TRpcProperties& properties) {
  Close();
  ConnectOptions options;
  options.host = properties.Get("HostName");
  options.port = static_cast<int>(properties.GetInteger("Port", -1));
  options.ip_version =
      Trimmed(properties.Get("CommunicationIPVersion")) == "IP_IPv6" ? IpVersion::kIPv6 : IpVersion::kIPv4;
  options.connect_timeout_ms = connect_timeout_ >= 0 ? connect_timeout_ : -1;
  received_any_ = false;
  terminated_ = false;
  socket_ = ConnectTcp(options);
  info_ = options.host + ":" + std::to_string(options.port);
}

void TRpcTcpLayer::Close() {
  if (!socket_) return;
  if (!terminated_.exchange(true)) socket_->Shutdown();
  socket_->Close();
  socket_.reset();
}

void TRpcTcpLayer::Terminate() {
  terminated_ = true;
  if (socket_) socket_->Shutdown();
}

int TRpcTcpLayer::Read(std::span<uint8_t> buffer) {
  if (terminated_ || !socket_) return -1;
  const int limit = received_any_ ? communication_timeout_ : connect_timeout_;
  if (limit <= 0) {
    const size_t n = socket_->Read(buffer);
    received_any_ = true;
    return static_cast<int>(n);
  }
  const char* text = received_any_ ? "Communication timeout error" : "Connection timeout error";
  try {
    // Without injected time one call waits and reads (each costs under Wine).
    std::optional<size_t> n;
    if (!read_wait_) {
      n = socket_->ReadWithin(buffer, limit);
    } else if (read_wait_->WaitReadable(*socket_, limit)) {
      n = socket_->Read(buffer);
    }
    if (!n) {
      Terminate();
      throw TRpcError(text);
    }
    received_any_ = true;
    return static_cast<int>(*n);
  } catch (const TRpcError&) {
    throw;
  } catch (const std::exception&) {
    throw TRpcError(text);
  }
}

int TRpcTcpLayer::Write(std::span<const uint8_t> bytes) {
  if (terminated_ || !socket_) return -1;
  socket_->WriteAll(bytes);
  return static_cast<int>(bytes.size());
}

}  // namespace selvane
