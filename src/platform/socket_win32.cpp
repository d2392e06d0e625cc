#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <optional>

#include "platform/socket.h"

namespace selvane {

namespace {

void StartWinsock() {
  static std::once_flag once;
  std::call_once(once, [] {
    WSADATA data;
    const int rc = ::WSAStartup(MAKEWORD(2, 2), &data);
    if (rc != 0) throw ESocketError(rc);
  });
}

[[noreturn]] void RaiseLast() { throw ESocketError(::WSAGetLastError()); }

void SetNoDelay(SOCKET s) {
  BOOL one = TRUE;
  ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one), sizeof one);
}

class WinsockSocket : public TcpSocket {
 public:
  explicit WinsockSocket(SOCKET s) : s_(s) {}
  ~WinsockSocket() override { Close(); }

  bool WaitReadable(int timeout_ms) override {
    WSAPOLLFD p{s_.load(), POLLRDNORM, 0};
    const int r = ::WSAPoll(&p, 1, timeout_ms < 0 ? -1 : timeout_ms);
    if (r < 0) RaiseLast();
    return r > 0;
  }

  // Under Wine every Winsock call costs wineserver round trips: the limit
  // goes on the socket (once per change) and one blocking recv both waits
  // and reads.
  std::optional<size_t> ReadWithin(std::span<uint8_t> buffer, int timeout_ms) override {
    if (closed_by_peer_) throw ESocketClosed();
    // SO_RCVTIMEO 0 means no limit: a limit of 0 is a read that does not wait.
    if (timeout_ms == 0 && !WaitReadable(0)) return std::nullopt;
    SetReceiveLimit(timeout_ms <= 0 ? 0 : static_cast<DWORD>(timeout_ms));
    const int want = static_cast<int>(std::min<size_t>(buffer.size(), 0x7FFFFFFF));
    const int n = ::recv(s_.load(), reinterpret_cast<char*>(buffer.data()), want, 0);
    if (n > 0) return static_cast<size_t>(n);
    const int err = n == 0 ? 0 : ::WSAGetLastError();
    if (err == WSAETIMEDOUT) return std::nullopt;
    if (n == 0 || err == WSAECONNRESET || err == WSAECONNABORTED || shut_down_) {
      closed_by_peer_ = true;
      throw ESocketClosed();
    }
    throw ESocketError(err);
  }

  void WriteAll(std::span<const uint8_t> bytes) override {
    if (closed_by_peer_) throw ESocketClosed();
    while (!bytes.empty()) {
      const int chunk = static_cast<int>(std::min<size_t>(bytes.size(), 0x7FFFFFFF));
      const int n = ::send(s_.load(), reinterpret_cast<const char*>(bytes.data()), chunk, 0);
      if (n == SOCKET_ERROR) RaiseLast();
      bytes = bytes.subspan(static_cast<size_t>(n));
    }
  }

  void Shutdown() override {
    const SOCKET s = s_.load();
    if (s == INVALID_SOCKET) return;
    shut_down_ = true;
    ::shutdown(s, SD_BOTH);
    // A blocking recv on another thread outlives the shutdown (Wine keeps it
    // waiting): cancel it, and it fails with WSA_OPERATION_ABORTED.
    ::CancelIoEx(reinterpret_cast<HANDLE>(s), nullptr);
  }

  void Close() override {
    const SOCKET s = s_.exchange(INVALID_SOCKET);
    if (s != INVALID_SOCKET) ::closesocket(s);
  }

 private:
  // Sets the receive time limit (0: none) when it differs from the last one.
  void SetReceiveLimit(DWORD timeout_ms) {
    if (timeout_ms == receive_limit_ms_) return;
    if (::setsockopt(s_.load(), SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout_ms),
                     sizeof timeout_ms) == SOCKET_ERROR) {
      RaiseLast();
    }
    receive_limit_ms_ = timeout_ms;
  }

  std::atomic<SOCKET> s_;
  bool closed_by_peer_ = false;
  std::atomic<bool> shut_down_{false};
  DWORD receive_limit_ms_ = 0;  // the socket's SO_RCVTIMEO; a new socket has none
};

SOCKET ConnectAddress(const addrinfo& a, int timeout_ms) {
  SOCKET s = ::socket(a.ai_family, a.ai_socktype, a.ai_protocol);
  if (s == INVALID_SOCKET) RaiseLast();
  if (timeout_ms < 0) {
    if (::connect(s, a.ai_addr, static_cast<int>(a.ai_addrlen)) == SOCKET_ERROR) {
      const int err = ::WSAGetLastError();
      ::closesocket(s);
      throw ESocketError(err);
    }
    return s;
  }
  u_long nonblocking = 1;
  ::ioctlsocket(s, FIONBIO, &nonblocking);
  int err = 0;
  if (::connect(s, a.ai_addr, static_cast<int>(a.ai_addrlen)) == SOCKET_ERROR) {
    err = ::WSAGetLastError();
    if (err == WSAEWOULDBLOCK) {
      fd_set writable, failed;
      FD_ZERO(&writable);
      FD_ZERO(&failed);
      FD_SET(s, &writable);
      FD_SET(s, &failed);
      timeval tv{timeout_ms / 1000, (timeout_ms % 1000) * 1000};
      const int r = ::select(0, nullptr, &writable, &failed, &tv);
      if (r == 0) {
        err = WSAETIMEDOUT;
      } else if (FD_ISSET(s, &failed)) {
        int len = sizeof err;
        ::getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&err), &len);
        if (err == 0) err = WSAECONNREFUSED;
      } else {
        err = 0;
      }
    }
  }
  if (err != 0) {
    ::closesocket(s);
    throw ESocketError(err);
  }
  nonblocking = 0;
  ::ioctlsocket(s, FIONBIO, &nonblocking);
  return s;
}

class WinsockListener : public TcpListener {
 public:
  WinsockListener(SOCKET s, uint16_t port) : s_(s), port_(port) {}
  ~WinsockListener() override { Close(); }
  uint16_t port() const override { return port_; }

  std::unique_ptr<TcpSocket> Accept() override {
    const SOCKET s = s_.load();
    if (s == INVALID_SOCKET || closing_) throw ESocketError(kWsaInterrupted);
    const SOCKET c = ::accept(s, nullptr, nullptr);
    if (c == INVALID_SOCKET) {
      if (closing_) throw ESocketError(kWsaInterrupted);
      RaiseLast();
    }
    SetNoDelay(c);
    return std::make_unique<WinsockSocket>(c);
  }

  void Close() override {
    closing_ = true;
    const SOCKET s = s_.exchange(INVALID_SOCKET);
    if (s != INVALID_SOCKET) ::closesocket(s);  // ends a waiting accept
  }

 private:
  std::atomic<SOCKET> s_;
  std::atomic<bool> closing_{false};
  uint16_t port_;
};

}  // namespace

std::unique_ptr<TcpSocket> ConnectTcp(const ConnectOptions& options) {
  StartWinsock();
  if (options.port < 0 || options.port > 65535) throw ESocketError(kWsaInvalid);
  addrinfo hints{};
  hints.ai_family = options.ip_version == IpVersion::kIPv6 ? AF_INET6 : AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  const std::string port = std::to_string(options.port);
  addrinfo* list = nullptr;
  const int rc = ::getaddrinfo(options.host.c_str(), port.c_str(), &hints, &list);
  if (rc != 0) throw ESocketError(rc);  // Winsock numbers already (11001, ...)
  int last_code = kWsaHostNotFound;
  for (addrinfo* a = list; a != nullptr; a = a->ai_next) {
    try {
      const SOCKET s = ConnectAddress(*a, options.connect_timeout_ms);
      ::freeaddrinfo(list);
      SetNoDelay(s);
      return std::make_unique<WinsockSocket>(s);
    } catch (const ESocketError& e) {
      last_code = e.code();
    }
  }
  ::freeaddrinfo(list);
  throw ESocketError(last_code);
}

std::unique_ptr<TcpListener> ListenTcp(uint16_t port) {
  StartWinsock();
  SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) RaiseLast();
  BOOL exclusive = TRUE;
  ::setsockopt(s, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&exclusive), sizeof exclusive);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(port);
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == SOCKET_ERROR ||
      ::listen(s, SOMAXCONN) == SOCKET_ERROR) {
    const int err = ::WSAGetLastError();
    ::closesocket(s);
    throw ESocketError(err);
  }
  int len = sizeof addr;
  ::getsockname(s, reinterpret_cast<sockaddr*>(&addr), &len);
  return std::make_unique<WinsockListener>(s, ntohs(addr.sin_port));
}

}  // namespace selvane
