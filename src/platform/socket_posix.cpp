#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <optional>

#include "platform/socket.h"

namespace selvane {

namespace {

// errno to the Winsock number that Windows reports for the same condition.
int WinsockCode(int err) {
  switch (err) {
    case EINTR: return 10004;
    case EBADF: return 10009;
    case EACCES: return 10013;
    case EFAULT: return 10014;
    case EINVAL: return 10022;
    case EMFILE: return 10024;
    case EWOULDBLOCK: return 10035;
    case EINPROGRESS: return 10036;
    case EALREADY: return 10037;
    case ENOTSOCK: return 10038;
    case EDESTADDRREQ: return 10039;
    case EMSGSIZE: return 10040;
    case EPROTOTYPE: return 10041;
    case ENOPROTOOPT: return 10042;
    case EPROTONOSUPPORT: return 10043;
    case ESOCKTNOSUPPORT: return 10044;
    case EOPNOTSUPP: return 10045;
    case EPFNOSUPPORT: return 10046;
    case EAFNOSUPPORT: return 10047;
    case EADDRINUSE: return 10048;
    case EADDRNOTAVAIL: return 10049;
    case ENETDOWN: return 10050;
    case ENETUNREACH: return 10051;
    case ENETRESET: return 10052;
    case ECONNABORTED: return 10053;
    case ECONNRESET: return 10054;
    case EPIPE: return 10054;  // writing into a connection the peer reset
    case ENOBUFS: return 10055;
    case EISCONN: return 10056;
    case ENOTCONN: return 10057;
    case ESHUTDOWN: return 10058;
    case ETIMEDOUT: return 10060;
    case ECONNREFUSED: return 10061;
    case EHOSTDOWN: return 10064;
    case EHOSTUNREACH: return 10065;
    default: return err;
  }
}

[[noreturn]] void Raise(int err) { throw ESocketError(WinsockCode(err)); }

void SetNoDelay(int fd) {
  int one = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
}

class PosixSocket : public TcpSocket {
 public:
  explicit PosixSocket(int fd) : fd_(fd) {}
  ~PosixSocket() override { Close(); }

  bool WaitReadable(int timeout_ms) override {
    pollfd p{fd_.load(), POLLIN, 0};
    for (;;) {
      const int r = ::poll(&p, 1, timeout_ms < 0 ? -1 : timeout_ms);
      if (r > 0) return true;
      if (r == 0) return false;
      if (errno != EINTR) Raise(errno);
    }
  }

  std::optional<size_t> ReadWithin(std::span<uint8_t> buffer, int timeout_ms) override {
    if (closed_by_peer_) throw ESocketClosed();
    // SO_RCVTIMEO 0 means no limit: a limit of 0 is a read that does not wait.
    const int flags = timeout_ms == 0 ? MSG_DONTWAIT : 0;
    if (timeout_ms != 0) SetReceiveLimit(timeout_ms < 0 ? 0 : timeout_ms);
    for (;;) {
      const ssize_t n = ::recv(fd_.load(), buffer.data(), buffer.size(), flags);
      if (n > 0) return static_cast<size_t>(n);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return std::nullopt;
      if (n == 0 || errno == ECONNRESET || errno == ECONNABORTED || errno == EPIPE) {
        closed_by_peer_ = true;
        throw ESocketClosed();
      }
      Raise(errno);
    }
  }

  void WriteAll(std::span<const uint8_t> bytes) override {
    if (closed_by_peer_) throw ESocketClosed();
    while (!bytes.empty()) {
      const ssize_t n = ::send(fd_.load(), bytes.data(), bytes.size(), MSG_NOSIGNAL);
      if (n < 0) {
        if (errno == EINTR) continue;
        Raise(errno);
      }
      bytes = bytes.subspan(static_cast<size_t>(n));
    }
  }

  void Shutdown() override {
    const int fd = fd_.load();
    if (fd >= 0) ::shutdown(fd, SHUT_RDWR);
  }

  void Close() override {
    const int fd = fd_.exchange(-1);
    if (fd >= 0) ::close(fd);
  }

 private:
  // Sets the receive time limit (0: none) when it differs from the last one.
  void SetReceiveLimit(int timeout_ms) {
    if (timeout_ms == receive_limit_ms_) return;
    const timeval tv{timeout_ms / 1000, (timeout_ms % 1000) * 1000};
    if (::setsockopt(fd_.load(), SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv) < 0) Raise(errno);
    receive_limit_ms_ = timeout_ms;
  }

  std::atomic<int> fd_;
  bool closed_by_peer_ = false;
  int receive_limit_ms_ = 0;  // the socket's SO_RCVTIMEO; a new socket has none
};

// Connects one resolved address, honouring the time limit.
int ConnectAddress(const addrinfo& a, int timeout_ms) {
  const int fd = ::socket(a.ai_family, a.ai_socktype | SOCK_CLOEXEC, a.ai_protocol);
  if (fd < 0) Raise(errno);
  if (timeout_ms < 0) {
    int r;
    do {
      r = ::connect(fd, a.ai_addr, a.ai_addrlen);
    } while (r < 0 && errno == EINTR);
    if (r < 0) {
      const int err = errno;
      ::close(fd);
      Raise(err);
    }
    return fd;
  }
  const int flags = ::fcntl(fd, F_GETFL);
  ::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
  int err = 0;
  if (::connect(fd, a.ai_addr, a.ai_addrlen) < 0) {
    err = errno;
    if (err == EINPROGRESS) {
      pollfd p{fd, POLLOUT, 0};
      int r;
      do {
        r = ::poll(&p, 1, timeout_ms);
      } while (r < 0 && errno == EINTR);
      if (r == 0) {
        err = ETIMEDOUT;
      } else {
        socklen_t len = sizeof err;
        ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len);
      }
    }
  }
  if (err != 0) {
    ::close(fd);
    Raise(err);
  }
  ::fcntl(fd, F_SETFL, flags);
  return fd;
}

class PosixListener : public TcpListener {
 public:
  PosixListener(int fd, uint16_t port) : fd_(fd), port_(port) {}
  ~PosixListener() override { Close(); }
  uint16_t port() const override { return port_; }

  std::unique_ptr<TcpSocket> Accept() override {
    for (;;) {
      const int fd = fd_.load();
      if (fd < 0 || closing_) throw ESocketError(kWsaInterrupted);
      const int c = ::accept4(fd, nullptr, nullptr, SOCK_CLOEXEC);
      if (c >= 0) {
        SetNoDelay(c);
        return std::make_unique<PosixSocket>(c);
      }
      if (closing_) throw ESocketError(kWsaInterrupted);
      if (errno == EINTR || errno == ECONNABORTED) continue;
      Raise(errno);
    }
  }

  void Close() override {
    closing_ = true;
    const int fd = fd_.exchange(-1);
    if (fd >= 0) {
      ::shutdown(fd, SHUT_RDWR);  // wakes a waiting accept
      ::close(fd);
    }
  }

 private:
  std::atomic<int> fd_;
  std::atomic<bool> closing_{false};
  uint16_t port_;
};

}  // namespace

std::unique_ptr<TcpSocket> ConnectTcp(const ConnectOptions& options) {
  addrinfo hints{};
  hints.ai_family = options.ip_version == IpVersion::kIPv6 ? AF_INET6 : AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  if (options.port < 0 || options.port > 65535) throw ESocketError(kWsaInvalid);
  const std::string port = std::to_string(options.port);
  addrinfo* list = nullptr;
  const int rc = ::getaddrinfo(options.host.c_str(), port.c_str(), &hints, &list);
  if (rc != 0) {
    if (rc == EAI_AGAIN) throw ESocketError(kWsaTryAgain);
    if (rc == EAI_FAIL) throw ESocketError(kWsaNoRecovery);
    if (rc == EAI_SYSTEM) Raise(errno);
    throw ESocketError(kWsaHostNotFound);
  }
  std::unique_ptr<addrinfo, decltype(&::freeaddrinfo)> guard(list, ::freeaddrinfo);
  int last_code = kWsaHostNotFound;
  for (addrinfo* a = list; a != nullptr; a = a->ai_next) {
    try {
      const int fd = ConnectAddress(*a, options.connect_timeout_ms);
      SetNoDelay(fd);
      return std::make_unique<PosixSocket>(fd);
    } catch (const ESocketError& e) {
      last_code = e.code();
    }
  }
  throw ESocketError(last_code);
}

std::unique_ptr<TcpListener> ListenTcp(uint16_t port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
  if (fd < 0) Raise(errno);
  int one = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(port);
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) < 0 || ::listen(fd, 64) < 0) {
    const int err = errno;
    ::close(fd);
    Raise(err);
  }
  socklen_t len = sizeof addr;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
  return std::make_unique<PosixListener>(fd, ntohs(addr.sin_port));
}

}  // namespace selvane
