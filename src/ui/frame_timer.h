#pragma once
// TFrameTimer: a timer whose thread only waits and hands every tick to the
// window thread. The thread runs the tick first and then waits the interval,
// in 10 ms steps; while a tick is handed over it waits until the window thread
// has served it (TickSink tells the window thread to call ServeTick).

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace selvane::ui {

// What the animation needs of a timer.
class AnimationTimer {
 public:
  virtual ~AnimationTimer() = default;
  virtual void SetEnabled(bool enabled) = 0;
  virtual bool Enabled() const = 0;
  virtual void SetInterval(int ms) = 0;
  virtual int Interval() const = 0;
  virtual void SetOnTimer(std::function<void()> on_timer) = 0;
};

// The window thread's side of the hand-over. TickPending is called on the
// timer thread and must only arrange for ServeTick to run on the window
// thread (a posted message); it must not block.
class TickSink {
 public:
  virtual ~TickSink() = default;
  virtual void TickPending() = 0;
};

class TFrameTimer : public AnimationTimer {
 public:
  explicit TFrameTimer(TickSink* sink);
  ~TFrameTimer() override;
  TFrameTimer(const TFrameTimer&) = delete;
  TFrameTimer& operator=(const TFrameTimer&) = delete;

  void SetEnabled(bool enabled) override;
  bool Enabled() const override { return enabled_; }
  void SetInterval(int ms) override;
  int Interval() const override { return interval_; }
  void SetOnTimer(std::function<void()> on_timer) override;

  // Window thread: runs the handed-over tick, if any. Returns whether one ran.
  bool ServeTick();
  // Whether the timer thread exists (for tests).
  bool ThreadRunning() const { return thread_.joinable(); }

 private:
  void UpdateTimer();
  void StopThread();
  void ThreadMain();

  TickSink* sink_;
  // Window-thread state.
  bool enabled_ = true;
  int interval_ = 1000;
  std::function<void()> on_timer_;
  bool in_tick_ = false;

  // Shared with the timer thread, under mutex_.
  std::mutex mutex_;
  std::condition_variable cv_;
  bool terminate_ = false;
  bool paused_ = true;
  bool tick_pending_ = false;
  int thread_interval_ = 0;
  int waited_ = 0;
  std::thread thread_;
};

}  // namespace selvane::ui
