#include "ui/frame_timer.h"

#include <chrono>

namespace selvane::ui {
namespace {
constexpr auto kStep = std::chrono::milliseconds(10);
}

TFrameTimer::TFrameTimer(TickSink* sink) : sink_(sink) {}

TFrameTimer::~TFrameTimer() {
  on_timer_ = nullptr;
  StopThread();
}

void TFrameTimer::SetEnabled(bool enabled) {
  enabled_ = enabled;
  UpdateTimer();
}

void TFrameTimer::SetInterval(int ms) {
  interval_ = ms;
  UpdateTimer();
}

void TFrameTimer::SetOnTimer(std::function<void()> on_timer) {
  const bool changed = static_cast<bool>(on_timer) != static_cast<bool>(on_timer_);
  on_timer_ = std::move(on_timer);
  if (changed) UpdateTimer();
}

void TFrameTimer::UpdateTimer() {
  if (interval_ > 0 && enabled_ && on_timer_) {
    std::lock_guard lock(mutex_);
    if (!thread_.joinable()) {
      terminate_ = false;
      thread_ = std::thread([this] { ThreadMain(); });
    }
    paused_ = true;
    waited_ = 0;
    thread_interval_ = interval_;
    paused_ = false;
    cv_.notify_all();
  } else if (in_tick_) {
    // Ending the thread from inside its own tick would wait for ourselves.
    std::lock_guard lock(mutex_);
    paused_ = true;
  } else {
    StopThread();
  }
}

void TFrameTimer::StopThread() {
  if (!thread_.joinable()) return;
  {
    std::lock_guard lock(mutex_);
    terminate_ = true;
    // A tick handed over but not yet served is dropped: the timer is off.
    tick_pending_ = false;
    cv_.notify_all();
  }
  thread_.join();
  thread_ = std::thread();
  paused_ = true;
}

bool TFrameTimer::ServeTick() {
  {
    std::lock_guard lock(mutex_);
    if (!tick_pending_) return false;
  }
  if (enabled_ && on_timer_) {
    in_tick_ = true;
    // Copy: the tick may clear or replace the handler.
    auto tick = on_timer_;
    tick();
    in_tick_ = false;
  }
  std::lock_guard lock(mutex_);
  tick_pending_ = false;
  cv_.notify_all();
  return true;
}

void TFrameTimer::ThreadMain() {
  std::unique_lock lock(mutex_);
  while (!terminate_) {
    if (!paused_) {
      tick_pending_ = true;
      lock.unlock();
      sink_->TickPending();
      lock.lock();
      cv_.wait(lock, [this] { return !tick_pending_ || terminate_; });
    }
    waited_ = 0;
    while (waited_ < thread_interval_ && !terminate_) {
      cv_.wait_for(lock, kStep, [this] { return terminate_; });
      waited_ += 10;
    }
    while (paused_ && !terminate_) cv_.wait_for(lock, kStep, [this] { return terminate_; });
  }
}

}  // namespace selvane::ui
