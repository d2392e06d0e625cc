#pragma once
// TCP sockets: the client side that the update-server channel uses and the
// listening side of the reference server and tests. Failures raise the
// socket layer's texts, the same on Windows and POSIX:
//   - ESocketClosed "Connection Closed Gracefully." when the peer closed,
//     reset or aborted the connection while we wait for bytes, and for any
//     write after that was noticed;
//   - ESocketError "Socket Error # N" CR LF description, with Winsock's
//     numbers (10054 "Connection reset by peer.", 10061 "Connection refused.",
//     11001 "Host not found.", 10060 "Connection timed out.", ...); POSIX
//     errno values are mapped to those numbers.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>

namespace selvane {

class ESocketError : public std::runtime_error {
 public:
  explicit ESocketError(int code);
  int code() const { return code_; }

 private:
  int code_;
};

class ESocketClosed : public std::runtime_error {
 public:
  ESocketClosed() : std::runtime_error("Connection Closed Gracefully.") {}
};

// Winsock numbers used by both implementations.
enum WinsockError : int {
  kWsaInterrupted = 10004,
  kWsaBadFile = 10009,
  kWsaAccess = 10013,
  kWsaFault = 10014,
  kWsaInvalid = 10022,
  kWsaTooManyFiles = 10024,
  kWsaWouldBlock = 10035,
  kWsaInProgress = 10036,
  kWsaNotSocket = 10038,
  kWsaAddressInUse = 10048,
  kWsaAddressNotAvailable = 10049,
  kWsaNetworkDown = 10050,
  kWsaNetworkUnreachable = 10051,
  kWsaConnectionAborted = 10053,
  kWsaConnectionReset = 10054,
  kWsaNoBuffers = 10055,
  kWsaNotConnected = 10057,
  kWsaShutdown = 10058,
  kWsaTimedOut = 10060,
  kWsaConnectionRefused = 10061,
  kWsaHostDown = 10064,
  kWsaHostUnreachable = 10065,
  kWsaHostNotFound = 11001,
  kWsaTryAgain = 11002,
  kWsaNoRecovery = 11003,
  kWsaNoData = 11004,
};

// "Socket Error # N" CR LF and the description of N.
std::string SocketErrorMessage(int code);
// The description alone ("Connection reset by peer."); unknown numbers get
// "Unknown error.".
std::string SocketErrorDescription(int code);

enum class IpVersion { kIPv4, kIPv6 };

struct ConnectOptions {
  std::string host;
  int port = -1;
  IpVersion ip_version = IpVersion::kIPv4;
  int connect_timeout_ms = -1;  // negative: no limit
};

class TcpSocket {
 public:
  virtual ~TcpSocket() = default;

  // Waits until at least one byte can be read or the peer has closed; false
  // when `timeout_ms` (negative: no limit) passed first.
  virtual bool WaitReadable(int timeout_ms) = 0;
  // Reads at least one byte into `buffer`, waiting for it as long as it
  // takes; returns the count. A closed, reset or aborted connection raises
  // ESocketClosed.
  size_t Read(std::span<uint8_t> buffer);
  // Read with a time limit, waiting and reading in one system call (negative:
  // no limit; 0: only what has arrived); nullopt when the limit passed first.
  // After that the connection may be unusable (Winsock leaves it so): close it.
  virtual std::optional<size_t> ReadWithin(std::span<uint8_t> buffer, int timeout_ms) = 0;
  // Writes every byte or raises.
  virtual void WriteAll(std::span<const uint8_t> bytes) = 0;
  // Shuts both directions; a read waiting on another thread returns.
  virtual void Shutdown() = 0;
  virtual void Close() = 0;
};

// Connects with the Nagle algorithm switched off. Raises ESocketError
// (11001 when the host name does not resolve, 10060 when the time limit passes).
std::unique_ptr<TcpSocket> ConnectTcp(const ConnectOptions& options);

class TcpListener {
 public:
  virtual ~TcpListener() = default;
  virtual uint16_t port() const = 0;
  // Waits for the next connection (Nagle off). Raises ESocketError; after
  // Close (from any thread) raises ESocketError 10004.
  virtual std::unique_ptr<TcpSocket> Accept() = 0;
  virtual void Close() = 0;
};

// Listens on 127.0.0.1; port 0 picks a free one.
std::unique_ptr<TcpListener> ListenTcp(uint16_t port);

}  // namespace selvane
