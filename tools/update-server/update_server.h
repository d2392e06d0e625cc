#pragma once
// The reference update server: listens on 127.0.0.1 and serves every client on
// a thread of its own until Stop. A client that disconnects at any point ends
// only its own session.

#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "platform/env.h"
#include "platform/socket.h"
#include "server_options.h"
#include "update_service.h"

namespace selvane::refserver {

class SocketChannel;

class UpdateServer {
 public:
  // Opens the repository and starts listening; throws ESocketError when the
  // port cannot be bound. repository_env, when given, replaces the Env over
  // options.root (tests put fault-injecting Envs there).
  explicit UpdateServer(ServerOptions options, std::unique_ptr<Env> repository_env = nullptr);
  ~UpdateServer();
  UpdateServer(const UpdateServer&) = delete;
  UpdateServer& operator=(const UpdateServer&) = delete;

  uint16_t port() const { return port_; }

  // Accepts clients on a thread of its own.
  void Start();
  // Makes every file's container now instead of in the background (benchmarks).
  void MakeContainersNow() { service_.MakeAllContainers(); }
  // Containers compressed so far (not found in the cache folder).
  uint64_t ContainersMade() { return service_.cache().made(); }

  // What a restart with other link faults (ServerOptions::cut_after_bytes and
  // drop_after_bytes) would give, without making the containers again: the
  // sessions that connect from now on have these faults and are numbered from
  // the first again, so each has the bytes of a fresh server's first session.
  // A campaign runs one session after another this way.
  void StartOver(int64_t cut_after_bytes, int64_t drop_after_bytes);

  // Stops listening, cuts every connection and waits for the sessions to end.
  void Stop();

  // One line per connection event; empty by default.
  void SetLog(std::function<void(const std::string&)> log) { log_ = std::move(log); }

  // Sessions that ended so far, for tests that wait for a client's departure.
  int FinishedSessions() const;
  // Sessions that went silent (ServerOptions::silent_at) and have sent their
  // last byte.
  int SilentSessions() const;

 private:
  struct Connection {
    ServerOptions options;  // as they were when it connected
    std::shared_ptr<SocketChannel> channel;
    std::thread thread;
    bool done = false;
  };

  void AcceptLoop();
  void Serve(Connection* c, int32_t handle);
  void Log(const std::string& line);
  void ReapFinished();

  ServerOptions options_;
  std::unique_ptr<Env> env_;
  UpdateService service_;
  std::unique_ptr<TcpListener> listener_;
  uint16_t port_ = 0;
  std::thread acceptor_;
  std::function<void(const std::string&)> log_;

  mutable std::mutex mu_;
  std::list<Connection> connections_;
  int finished_ = 0;
  int silent_ = 0;
  int32_t next_connection_ = 1;
  bool stopping_ = false;
};

}  // namespace selvane::refserver
