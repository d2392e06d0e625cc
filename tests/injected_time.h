#pragma once
// Injected time for the client's limited reads against the reference server
// in this process: a read waits for real only while the server's bytes are on
// their way; once the server has gone silent and nothing is left to read, the
// read's limit passes at once on an injected clock. So a test of a one-minute
// limit takes no minute, and no test sleeps.

#include <functional>
#include <mutex>
#include <vector>

#include "rpc/read_wait.h"

namespace selvane {

class InjectedClockWait : public TRpcReadWait {
 public:
  // `server_silent` tells whether the server has sent its last byte.
  explicit InjectedClockWait(std::function<bool()> server_silent) : server_silent_(std::move(server_silent)) {}

  // Runs on the waiting thread just before a limit passes: a test holds the
  // call in flight there while it does what it wants to prove harmless.
  void SetBeforeLimitPasses(std::function<void()> hook) {
    std::lock_guard lock(mu_);
    before_limit_ = std::move(hook);
  }

  bool WaitReadable(TcpSocket& socket, int timeout_ms) override {
    for (;;) {
      if (socket.WaitReadable(0)) return true;
      if (server_silent_()) {
        // Loopback hands over what was sent before the silence at once.
        if (socket.WaitReadable(0)) return true;
        std::function<void()> hook;
        {
          std::lock_guard lock(mu_);
          hook = before_limit_;
        }
        if (hook) hook();
        std::lock_guard lock(mu_);
        passed_.push_back(timeout_ms);
        return false;
      }
      // The server is still at work: wait for its next bytes, a little at a time.
      socket.WaitReadable(kProgressPollMs);
    }
  }

  // Each limit that passed, in milliseconds, in order.
  std::vector<int> passed() const {
    std::lock_guard lock(mu_);
    return passed_;
  }

 private:
  static constexpr int kProgressPollMs = 5;
  std::function<bool()> server_silent_;
  mutable std::mutex mu_;
  std::function<void()> before_limit_;
  std::vector<int> passed_;
};

}  // namespace selvane
