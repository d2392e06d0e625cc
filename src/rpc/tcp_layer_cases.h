#pragma once
// Loopback cases of the TCP layer, the socket channel and the platform
// sockets; built natively (POSIX sockets) and for Windows (Winsock, run
// under Wine), so both implementations meet the same expectations.

#include <gtest/gtest.h>

#include <atomic>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/socket.h"
#include "rpc/json_stream_reader.h"
#include "rpc/read_wait.h"
#include "rpc/rpc_connection.h"
#include "rpc/rpc_error.h"
#include "rpc/socket_channel.h"
#include "rpc/tcp_layer.h"

namespace selvane {
namespace {

std::span<const uint8_t> AsBytes(std::string_view s) {
  return std::span(reinterpret_cast<const uint8_t*>(s.data()), s.size());
}

// A loopback server that runs `script` on its one accepted connection.
class ScriptedServer {
 public:
  explicit ScriptedServer(std::function<void(TcpSocket&)> script) : listener_(ListenTcp(0)) {
    thread_ = std::thread([this, script = std::move(script)] {
      try {
        auto socket = listener_->Accept();
        script(*socket);
      } catch (const std::exception&) {
      }
    });
  }
  ~ScriptedServer() {
    listener_->Close();
    thread_.join();
  }
  TRpcProperties Properties() const {
    return TRpcProperties{{"HostName", "127.0.0.1"}, {"Port", std::to_string(listener_->port())}};
  }

 private:
  std::unique_ptr<TcpListener> listener_;
  std::thread thread_;
};

void ReadAtLeast(TcpSocket& s, size_t n) {
  uint8_t buf[4096];
  size_t got = 0;
  while (got < n) got += s.Read(std::span(buf, std::min(sizeof buf, n - got)));
}

TEST(TcpLayer, ServerClosingMidReplyIsConnectionClosedGracefully) {
  ScriptedServer server([](TcpSocket& s) {
    ReadAtLeast(s, 5);
    const uint8_t no_filter[] = {6, 0, 0, 0, 0};
    s.WriteAll(no_filter);
    ReadAtLeast(s, 10);
    s.WriteAll(AsBytes("{\"result\":[1,\"Upd"));
    s.Shutdown();
  });
  TRpcProperties p = server.Properties();
  p.Set("Filters", "{}");
  try {
    TRpcConnection::Open(p);
    FAIL();
  } catch (const ESocketClosed& e) {
    EXPECT_STREQ(e.what(), "Connection Closed Gracefully.");
  }
}

TEST(TcpLayer, WritingAfterTheCloseWasNoticedIsConnectionClosedGracefully) {
  ScriptedServer server([](TcpSocket& s) { s.Shutdown(); });
  TRpcSocketChannel channel;
  channel.SetRpcProperties(server.Properties());
  channel.Open();
  uint8_t b[8];
  EXPECT_THROW(channel.Read(b), ESocketClosed);
  EXPECT_THROW(channel.Write(AsBytes("x")), ESocketClosed);
}

// Injected time: a limit passes at once when nothing is readable and the
// server has said that it sends nothing more; until then the wait follows the
// server's bytes.
class SilenceWait : public TRpcReadWait {
 public:
  explicit SilenceWait(const std::atomic<bool>& silent) : silent_(silent) {}
  bool WaitReadable(TcpSocket& socket, int timeout_ms) override {
    for (;;) {
      if (socket.WaitReadable(0)) return true;
      if (silent_) {
        if (socket.WaitReadable(0)) return true;
        passed.push_back(timeout_ms);
        return false;
      }
      socket.WaitReadable(5);
    }
  }
  std::vector<int> passed;

 private:
  const std::atomic<bool>& silent_;
};

// Opens `channel` to the server with these settings added; `wait`, when
// given, takes the place of the socket's own waits.
void OpenWith(TRpcSocketChannel& channel, const ScriptedServer& server,
              std::initializer_list<std::pair<const char*, const char*>> settings,
              std::shared_ptr<TRpcReadWait> wait = nullptr) {
  if (wait) channel.SetReadWait(std::move(wait));
  TRpcProperties p = server.Properties();
  for (const auto& [name, value] : settings) p.Set(name, value);
  channel.SetRpcProperties(p);
  channel.Open();
}

TEST(TcpLayer, TimeLimitsOfTheFirstAndOfLaterReads) {
  std::atomic<bool> silent{false};
  ScriptedServer server([&silent](TcpSocket& s) {
    s.WriteAll(AsBytes("a"));
    silent = true;
    ReadAtLeast(s, 1);  // holds the connection open until the client closes it
  });
  auto wait = std::make_shared<SilenceWait>(silent);
  TRpcSocketChannel channel;
  OpenWith(channel, server, {{"ConnectTimeout", "30000"}, {"CommunicationTimeout", "60000"}}, wait);
  uint8_t b[8];
  EXPECT_EQ(channel.Read(b), 1);
  try {
    channel.Read(b);
    FAIL();
  } catch (const TRpcError& e) {
    EXPECT_STREQ(e.what(), "Communication timeout error");
  }
  EXPECT_EQ(wait->passed, std::vector<int>{60000});
  EXPECT_EQ(channel.Read(b), -1);  // the layer was terminated
  EXPECT_EQ(channel.Write(AsBytes("x")), -1);
}

TEST(TcpLayer, NoByteWithinTheConnectTimeLimit) {
  std::atomic<bool> silent{true};
  ScriptedServer server([](TcpSocket& s) { ReadAtLeast(s, 1); });
  auto wait = std::make_shared<SilenceWait>(silent);
  TRpcSocketChannel channel;
  OpenWith(channel, server, {{"ConnectTimeout", "30000"}}, wait);
  uint8_t b[8];
  try {
    channel.Read(b);
    FAIL();
  } catch (const TRpcError& e) {
    EXPECT_STREQ(e.what(), "Connection timeout error");
  }
  EXPECT_EQ(wait->passed, std::vector<int>{30000});
  channel.Close();
}

// Without injected time the limits pass on the socket itself: tiny limits
// that the kernel waits out while the server stays silent. Negative limits
// mean none; the connect limit ends with the first byte, so with no
// communication limit a later read outlasts it.
TEST(TcpLayer, TimeLimitsOnTheSocket) {
  struct Case {
    const char* connect;
    const char* communication;
    bool first_byte_at_once;
    bool late_bytes;   // sent after a pause of ten connect limits, or nothing more
    const char* text;  // of the limit that passes; nullptr: the late bytes are read
  };
  for (const Case& c : {Case{"-1", "-20", false, true, nullptr}, Case{"10", "-1", true, true, nullptr},
                        Case{"20", "60000", false, false, "Connection timeout error"},
                        Case{"60000", "20", true, false, "Communication timeout error"}}) {
    const std::string trace = std::string(c.connect) + " " + c.communication;
    ScriptedServer server([&c](TcpSocket& s) {
      if (c.first_byte_at_once) s.WriteAll(AsBytes("a"));
      if (c.late_bytes) {
        s.WaitReadable(100);  // the client sends nothing
        s.WriteAll(AsBytes("late"));
      }
      ReadAtLeast(s, 1);  // holds the connection open until the client closes it
    });
    TRpcSocketChannel channel;
    OpenWith(channel, server, {{"ConnectTimeout", c.connect}, {"CommunicationTimeout", c.communication}});
    uint8_t b[8];
    if (c.first_byte_at_once) {
      EXPECT_EQ(channel.Read(b), 1) << trace;
    }
    if (!c.text) {
      EXPECT_GE(channel.Read(b), 1) << trace;
      EXPECT_EQ(b[0], 'l') << trace;
      channel.Close();
      continue;
    }
    try {
      channel.Read(b);
      ADD_FAILURE() << trace;
    } catch (const TRpcError& e) {
      EXPECT_STREQ(e.what(), c.text);
    }
    EXPECT_EQ(channel.Read(b), -1) << trace;  // the layer was terminated
  }
}

TEST(TcpLayer, IpVersionSetting) {
  ScriptedServer server([](TcpSocket&) {});
  // "ipv6" is not the IPv6 setting: the IPv4 loopback is reached.
  TRpcProperties p = server.Properties();
  p.Set("CommunicationIPVersion", "ipv6");
  TRpcTcpLayer layer;
  layer.Open(p);
  layer.Close();
  // " IP_IPv6 " is, after trimming: an IPv4 literal does not resolve as IPv6.
  p.Set("CommunicationIPVersion", " IP_IPv6 ");
  EXPECT_THROW(layer.Open(p), ESocketError);
}

TEST(SocketChannel, UnknownProtocol) {
  TRpcSocketChannel channel;
  channel.SetRpcProperties(TRpcProperties{{"CommunicationProtocol", "http"}});
  try {
    channel.Open();
    FAIL();
  } catch (const TRpcError& e) {
    EXPECT_STREQ(e.what(),
                 "Protocol http can be used after an adequate instance of TRpcCommunicationLayer is registered with "
                 "TRpcCommunicationLayerFactory.");
  }
}

TEST(Socket, ErrorTexts) {
  EXPECT_EQ(SocketErrorMessage(10054), "Socket Error # 10054\r\nConnection reset by peer.");
  EXPECT_EQ(SocketErrorMessage(10061), "Socket Error # 10061\r\nConnection refused.");
  EXPECT_EQ(SocketErrorMessage(11001), "Socket Error # 11001\r\nHost not found.");
  EXPECT_EQ(SocketErrorMessage(10060), "Socket Error # 10060\r\nConnection timed out.");
}

// Both ends of one loopback connection.
struct SocketPair {
  SocketPair() : listener(ListenTcp(0)) {
    client = ConnectTcp(ConnectOptions{.host = "127.0.0.1", .port = listener->port()});
    server = listener->Accept();
  }
  std::unique_ptr<TcpListener> listener;
  std::unique_ptr<TcpSocket> client;
  std::unique_ptr<TcpSocket> server;
};

TEST(Socket, ReadWithin) {
  enum class Peer { kSent, kSilent, kClosed };
  enum class Outcome { kBytes, kLimitPassed, kClosed };
  struct Case {
    Peer peer;
    int timeout_ms;
    Outcome outcome;
  };
  for (const Case& c : {Case{Peer::kSent, -1, Outcome::kBytes}, Case{Peer::kSent, 0, Outcome::kBytes},
                        Case{Peer::kSent, 20, Outcome::kBytes}, Case{Peer::kSent, 60000, Outcome::kBytes},
                        Case{Peer::kSilent, 0, Outcome::kLimitPassed}, Case{Peer::kSilent, 1, Outcome::kLimitPassed},
                        Case{Peer::kSilent, 20, Outcome::kLimitPassed}, Case{Peer::kClosed, -1, Outcome::kClosed},
                        Case{Peer::kClosed, 0, Outcome::kClosed}, Case{Peer::kClosed, 20, Outcome::kClosed}}) {
    SocketPair pair;
    if (c.peer == Peer::kSent) pair.server->WriteAll(AsBytes("ab"));
    if (c.peer == Peer::kClosed) pair.server->Close();
    if (c.peer != Peer::kSilent) {
      ASSERT_TRUE(pair.client->WaitReadable(-1));  // arrived before a limit of 0
    }
    uint8_t b[8];
    const auto trace = testing::Message() << "peer " << static_cast<int>(c.peer) << ", limit " << c.timeout_ms;
    switch (c.outcome) {
      case Outcome::kBytes:
        EXPECT_EQ(pair.client->ReadWithin(b, c.timeout_ms), std::optional<size_t>(2)) << trace;
        EXPECT_EQ(std::string(b, b + 2), "ab") << trace;
        break;
      case Outcome::kLimitPassed:
        EXPECT_EQ(pair.client->ReadWithin(b, c.timeout_ms), std::nullopt) << trace;
        break;
      case Outcome::kClosed:
        EXPECT_THROW(pair.client->ReadWithin(b, c.timeout_ms), ESocketClosed) << trace;
        EXPECT_THROW(pair.client->ReadWithin(b, c.timeout_ms), ESocketClosed) << trace;  // and stays closed
        break;
    }
  }
}

// A limit set for one read is not left on the socket for the next one.
TEST(Socket, ReadAfterALimitedReadWaitsWithoutLimit) {
  SocketPair pair;
  pair.server->WriteAll(AsBytes("a"));
  ASSERT_TRUE(pair.client->WaitReadable(-1));
  uint8_t b[8];
  ASSERT_EQ(pair.client->ReadWithin(b, 1), std::optional<size_t>(1));
  std::thread late([&pair] {
    pair.server->WaitReadable(40);  // the client sends nothing: a pause of forty such limits
    pair.server->WriteAll(AsBytes("b"));
  });
  EXPECT_EQ(pair.client->Read(b), 1u);
  EXPECT_EQ(b[0], 'b');
  late.join();
}

// What the layer's Terminate relies on: a read waiting on another thread
// returns when the socket is shut down.
TEST(Socket, ShutdownEndsAWaitingRead) {
  for (const int timeout_ms : {-1, 60000}) {
    SocketPair pair;
    std::atomic<bool> closed{false};
    std::thread reader([&] {
      uint8_t b[8];
      try {
        pair.client->ReadWithin(b, timeout_ms);
      } catch (const ESocketClosed&) {
        closed = true;
      }
    });
    pair.server->WaitReadable(20);  // the reader is in its wait by now
    pair.client->Shutdown();
    reader.join();
    EXPECT_TRUE(closed) << timeout_ms;
  }
}

TEST(Socket, ListenerCloseEndsAWaitingAccept) {
  auto listener = ListenTcp(0);
  std::thread closer([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    listener->Close();
  });
  EXPECT_THROW(listener->Accept(), ESocketError);
  closer.join();
}

}  // namespace
}  // namespace selvane
