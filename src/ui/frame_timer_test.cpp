#include "ui/frame_timer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <future>
#include <memory>
#include <mutex>
#include <thread>

namespace selvane::ui {
namespace {

using namespace std::chrono_literals;

// Plays the window thread: counts hand-overs and lets the test serve them.
class WindowThreadSink : public TickSink {
 public:
  void TickPending() override {
    std::lock_guard lock(m_);
    ++pending_;
    cv_.notify_all();
  }
  // Waits (generously) for the n-th hand-over.
  bool WaitFor(int n) {
    std::unique_lock lock(m_);
    return cv_.wait_for(lock, 10s, [&] { return pending_ >= n; });
  }
  int Count() {
    std::lock_guard lock(m_);
    return pending_;
  }

 private:
  std::mutex m_;
  std::condition_variable cv_;
  int pending_ = 0;
};

TEST(FrameTimerTest, TicksRunOnTheServingThreadOneAtATime) {
  WindowThreadSink sink;
  TFrameTimer timer(&sink);
  int ticks = 0;
  timer.SetInterval(20);
  timer.SetOnTimer([&] { ++ticks; });
  EXPECT_TRUE(timer.ThreadRunning());
  for (int i = 1; i <= 3; ++i) {
    ASSERT_TRUE(sink.WaitFor(i));
    // The timer thread waits for this tick to be served before the next one.
    EXPECT_EQ(sink.Count(), i);
    EXPECT_TRUE(timer.ServeTick());
    EXPECT_EQ(ticks, i);
  }
}

TEST(FrameTimerTest, NoThreadWithoutHandlerIntervalOrEnabled) {
  WindowThreadSink sink;
  TFrameTimer timer(&sink);
  EXPECT_FALSE(timer.ThreadRunning());
  timer.SetOnTimer([] {});
  timer.SetInterval(0);
  EXPECT_FALSE(timer.ThreadRunning());
  timer.SetInterval(10);
  EXPECT_TRUE(timer.ThreadRunning());
  timer.SetEnabled(false);
  EXPECT_FALSE(timer.ThreadRunning());
}

TEST(FrameTimerTest, StoppingWhileATickIsHandedOverDoesNotHang) {
  WindowThreadSink sink;
  TFrameTimer timer(&sink);
  int ticks = 0;
  timer.SetInterval(10);
  timer.SetOnTimer([&] { ++ticks; });
  ASSERT_TRUE(sink.WaitFor(1));
  timer.SetEnabled(false);  // joins the thread, which waits for the tick
  EXPECT_FALSE(timer.ThreadRunning());
  EXPECT_FALSE(timer.ServeTick());
  EXPECT_EQ(ticks, 0);
}

TEST(FrameTimerTest, DisablingFromInsideTheTickPausesAndEnablingResumes) {
  WindowThreadSink sink;
  TFrameTimer timer(&sink);
  timer.SetInterval(10);
  timer.SetOnTimer([&] { timer.SetEnabled(false); });
  ASSERT_TRUE(sink.WaitFor(1));
  EXPECT_TRUE(timer.ServeTick());
  EXPECT_TRUE(timer.ThreadRunning()) << "paused, not ended, from inside the tick";
  std::this_thread::sleep_for(60ms);
  EXPECT_EQ(sink.Count(), 1) << "a paused timer hands over nothing";
  timer.SetOnTimer([] {});
  timer.SetEnabled(true);
  EXPECT_TRUE(sink.WaitFor(2));
  EXPECT_TRUE(timer.ServeTick());
}

TEST(FrameTimerTest, DestroyingWithAPendingTickReturns) {
  // The timer thread waits for its handed-over tick to be served; destroying
  // the timer must end that wait, drop the tick and hand over nothing more.
  // The destruction runs on a thread of its own so that a hang fails here.
  struct Shared {
    WindowThreadSink sink;
    std::atomic<int> ran{0};
    std::promise<void> destroyed;
  };
  auto shared = std::make_shared<Shared>();
  std::future<void> destroyed = shared->destroyed.get_future();
  std::thread([shared] {
    {
      TFrameTimer timer(&shared->sink);
      timer.SetInterval(10);
      timer.SetOnTimer([&] { ++shared->ran; });
      if (!shared->sink.WaitFor(1)) return;
    }
    shared->destroyed.set_value();
  }).detach();
  ASSERT_EQ(destroyed.wait_for(10s), std::future_status::ready) << "the destructor did not return";
  EXPECT_EQ(shared->ran.load(), 0) << "the pending tick was dropped, not run";
  EXPECT_EQ(shared->sink.Count(), 1) << "nothing was handed over after the pending tick";
}

}  // namespace
}  // namespace selvane::ui
