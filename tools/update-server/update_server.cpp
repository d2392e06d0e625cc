#include "update_server.h"

#include <chrono>
#include <cstdio>
#include <exception>

#include "platform/posix_env.h"
#include "session.h"
#include "socket_channel.h"

namespace selvane::refserver {

namespace {
std::unique_ptr<Env> OrRepositoryEnv(std::unique_ptr<Env> env, const std::string& root) {
  if (env) return env;
  return std::make_unique<PosixEnv>(root);
}
}  // namespace

UpdateServer::UpdateServer(ServerOptions options, std::unique_ptr<Env> repository_env)
    : options_(std::move(options)),
      env_(OrRepositoryEnv(std::move(repository_env), options_.root)),
      service_(*env_, options_),
      listener_(ListenTcp(options_.port)),
      port_(listener_->port()) {}

UpdateServer::~UpdateServer() { Stop(); }

void UpdateServer::Start() {
  service_.StartAhead();
  acceptor_ = std::thread([this] { AcceptLoop(); });
}

void UpdateServer::Stop() {
  {
    std::lock_guard lock(mu_);
    if (stopping_) return;
    stopping_ = true;
    for (Connection& c : connections_) {
      if (!c.done) c.channel->Shutdown();
    }
  }
  listener_->Close();
  if (acceptor_.joinable()) acceptor_.join();
  service_.StopAhead();
  // No new connection can appear now.
  for (Connection& c : connections_) {
    if (c.thread.joinable()) c.thread.join();
  }
}

void UpdateServer::StartOver(int64_t cut_after_bytes, int64_t drop_after_bytes) {
  std::lock_guard lock(mu_);
  options_.cut_after_bytes = cut_after_bytes;
  options_.drop_after_bytes = drop_after_bytes;
  next_connection_ = 1;
}

int UpdateServer::SilentSessions() const {
  std::lock_guard lock(mu_);
  return silent_;
}

int UpdateServer::FinishedSessions() const {
  std::lock_guard lock(mu_);
  return finished_;
}

void UpdateServer::Log(const std::string& line) {
  if (!log_) return;
  if (!options_.log_times) {
    log_(line);
    return;
  }
  // Seconds of the steady clock, so that a benchmark can time the calls of a run.
  const double now = std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%.6f ", now);
  log_(stamp + line);
}

void UpdateServer::ReapFinished() {
  std::list<Connection> finished;
  {
    std::lock_guard lock(mu_);
    for (auto it = connections_.begin(); it != connections_.end();) {
      auto next = std::next(it);
      if (it->done) finished.splice(finished.end(), connections_, it);
      it = next;
    }
  }
  for (Connection& c : finished) c.thread.join();
}

void UpdateServer::AcceptLoop() {
  for (;;) {
    std::unique_ptr<TcpSocket> socket;
    try {
      socket = listener_->Accept();
    } catch (const std::exception& e) {
      std::lock_guard lock(mu_);
      if (stopping_) return;
      Log(std::string("accept failed: ") + e.what());
      continue;
    }
    ReapFinished();
    std::lock_guard lock(mu_);
    if (stopping_) {
      socket->Close();
      return;
    }
    Connection& c = connections_.emplace_back();
    c.options = options_;
    c.channel = std::make_shared<SocketChannel>(std::move(socket));
    const int32_t handle = next_connection_++;
    c.thread = std::thread([this, &c, handle] { Serve(&c, handle); });
  }
}

void UpdateServer::Serve(Connection* c, int32_t handle) {
  std::shared_ptr<SocketChannel> channel;
  {
    std::lock_guard lock(mu_);
    channel = c->channel;
  }
  const ServerOptions& options = c->options;
  Log("connection " + std::to_string(handle) + " opened");
  std::string end = "disconnected";
  try {
    channel->CutAfter(options.cut_after_bytes);
    Session session(
        *channel, service_, options, handle, [&channel](int64_t budget) { channel->DropAfter(budget); },
        [this, &channel](int64_t budget) {
          channel->SilenceAfter(budget, [this] {
            std::lock_guard lock(mu_);
            ++silent_;
          });
        },
        log_ ? std::function<void(const std::string&)>([this](const std::string& line) { Log(line); }) : nullptr);
    session.Run();
  } catch (const std::exception& e) {
    end = e.what();
  }
  Log("connection " + std::to_string(handle) + " ended: " + end);
  std::lock_guard lock(mu_);
  channel->Close();
  c->done = true;
  ++finished_;
}

}  // namespace selvane::refserver
