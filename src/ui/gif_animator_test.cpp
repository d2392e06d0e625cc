#include "ui/gif_animator.h"

#include <gtest/gtest.h>

#include "ui/gif_test_builder.h"

namespace selvane::ui {
namespace {

using testing::GifBuilder;
using testing::TestFrame;

// A timer the test ticks by hand.
class FakeTimer : public AnimationTimer {
 public:
  void SetEnabled(bool enabled) override { enabled_ = enabled; }
  bool Enabled() const override { return enabled_; }
  void SetInterval(int ms) override { interval_ = ms; }
  int Interval() const override { return interval_; }
  void SetOnTimer(std::function<void()> f) override { on_timer_ = std::move(f); }
  // Whether the timer would be running.
  bool Running() const { return enabled_ && interval_ > 0 && on_timer_; }
  void Fire() {
    if (enabled_ && on_timer_) on_timer_();
  }

  bool enabled_ = true;
  int interval_ = 1000;
  std::function<void()> on_timer_;
};

class FakeHost : public AnimatorHost {
 public:
  void RepaintNow() override { ++repaints; }
  void Invalidate() override { ++invalidations; }
  bool HasParentWindow() const override { return has_parent; }
  int repaints = 0, invalidations = 0;
  bool has_parent = true;
};

TGIFImage Picture(std::vector<int> delays) {
  GifBuilder b(2, 2, {0x000000, 0xFFFFFF});
  for (int d : delays) {
    TestFrame f{0, 0, 2, 2, {0, 1, 1, 0}};
    f.delay = d;
    f.disposal = 2;
    b.Add(f);
  }
  return DecodeGif(b.Build());
}

class GifAnimatorTest : public ::testing::Test {
 protected:
  GifAnimatorTest() {
    auto t = std::make_unique<FakeTimer>();
    timer = t.get();
    animator = std::make_unique<TGIFAnimator>(std::move(t), &host);
    animator->OnStart = [this] { ++starts; };
    animator->OnStop = [this] { ++stops; };
  }
  FakeHost host;
  FakeTimer* timer;
  std::unique_ptr<TGIFAnimator> animator;
  int starts = 0, stops = 0;
};

TEST(FrameDelayTest, ClampsTo50Through10000) {
  const struct {
    int hundredths, ms;
  } cases[] = {{0, 50}, {4, 50}, {5, 50}, {7, 70}, {100, 1000}, {1000, 10000}, {1001, 10000}, {65535, 10000}};
  for (const auto& c : cases) {
    TGIFImage img = Picture({c.hundredths, 7});
    FakeHost host;
    TGIFAnimator a(std::make_unique<FakeTimer>(), &host);
    a.SetImage(img);
    EXPECT_EQ(a.GetDelayTime(), c.ms) << c.hundredths;
  }
}

TEST_F(GifAnimatorTest, LoadingSetsTheFirstFramesDelayAndSize) {
  animator->SetBounds(237, 191, 105, 105);
  animator->SetImage(Picture({7, 7, 7}));
  EXPECT_EQ(timer->Interval(), 70);
  EXPECT_EQ(animator->FrameIndex(), 0);
  EXPECT_EQ(animator->Width(), 2);  // AutoSize
  EXPECT_EQ(animator->Left(), 237);
}

TEST_F(GifAnimatorTest, PlaysEveryFrameForItsOwnDelayAndLoops) {
  animator->SetImage(Picture({7, 2, 300}));
  animator->SetAnimate(true);
  ASSERT_TRUE(timer->Running());
  const int expected_frames[] = {1, 2, 0, 1};
  const int expected_intervals[] = {50, 3000, 70, 50};
  for (int i = 0; i < 4; ++i) {
    timer->Fire();
    EXPECT_EQ(animator->FrameIndex(), expected_frames[i]);
    EXPECT_EQ(timer->Interval(), expected_intervals[i]);
  }
  EXPECT_TRUE(animator->Animate());
  EXPECT_EQ(host.repaints, 4);
}

TEST_F(GifAnimatorTest, WithoutLoopOnePassEndsOnFrameZeroAndStops) {
  animator->SetImage(Picture({7, 7, 7}));
  animator->SetLoop(false);
  animator->SetAnimate(true);
  timer->Fire();
  timer->Fire();
  EXPECT_TRUE(animator->Animate());
  timer->Fire();
  EXPECT_EQ(animator->FrameIndex(), 0);
  EXPECT_FALSE(animator->Animate());
  EXPECT_EQ(stops, 1);
  EXPECT_FALSE(timer->Running());
}

TEST_F(GifAnimatorTest, AnimateIsIdempotent) {
  animator->SetImage(Picture({7, 7}));
  animator->SetAnimate(true);
  animator->SetAnimate(true);
  EXPECT_EQ(starts, 1);
  animator->SetAnimate(false);
  animator->SetAnimate(false);
  EXPECT_EQ(stops, 1);
  EXPECT_FALSE(timer->Running());
}

TEST_F(GifAnimatorTest, StoppingKeepsTheFrameAndRestartGoesOnFromIt) {
  animator->SetImage(Picture({7, 7, 7}));
  animator->SetAnimate(true);
  timer->Fire();
  animator->SetAnimate(false);
  EXPECT_EQ(animator->FrameIndex(), 1);
  animator->SetAnimate(true);
  timer->Fire();
  EXPECT_EQ(animator->FrameIndex(), 2);
}

TEST_F(GifAnimatorTest, HiddenControlKeepsItsTimerButDoesNotAdvance) {
  animator->SetImage(Picture({7, 7, 7}));
  animator->SetAnimate(true);
  timer->Fire();
  animator->SetVisible(false);
  timer->Fire();
  timer->Fire();
  EXPECT_EQ(animator->FrameIndex(), 1);
  EXPECT_TRUE(timer->Running());
  animator->SetVisible(true);
  timer->Fire();
  EXPECT_EQ(animator->FrameIndex(), 2);
}

TEST_F(GifAnimatorTest, NothingAdvancesWithoutAParentWindow) {
  animator->SetImage(Picture({7, 7}));
  animator->SetAnimate(true);
  host.has_parent = false;
  timer->Fire();
  EXPECT_EQ(animator->FrameIndex(), 0);
}

TEST_F(GifAnimatorTest, SingleFramePictureNeverAdvancesThoughAnimateReadsTrue) {
  animator->SetImage(Picture({7}));
  animator->SetAnimate(true);
  EXPECT_TRUE(animator->Animate());
  EXPECT_EQ(animator->GetDelayTime(), 0);
  timer->Fire();
  EXPECT_EQ(animator->FrameIndex(), 0);
  EXPECT_EQ(host.repaints, 0);
}

TEST_F(GifAnimatorTest, FrameIndexAcceptsOnlyOtherValidFrames) {
  animator->SetImage(Picture({7, 30, 7}));
  int changes = 0;
  animator->OnFrameChanged = [&] { ++changes; };
  for (int n : {-1, 3, 0}) animator->SetFrameIndex(n);
  EXPECT_EQ(changes, 0);
  animator->SetFrameIndex(1);
  EXPECT_EQ(animator->FrameIndex(), 1);
  EXPECT_EQ(timer->Interval(), 300);
  EXPECT_EQ(changes, 1);
}

TEST_F(GifAnimatorTest, PaintPlanForAnOpaquePicture) {
  animator->SetBounds(0, 0, 28, 28);
  animator->SetImage(Picture({7, 7}));
  const AnimatorPaint p = animator->PlanPaint();
  EXPECT_TRUE(p.fill);
  ASSERT_NE(p.frame, nullptr);
  EXPECT_EQ(p.dest_width, 2);
  EXPECT_EQ(p.transparent, clNone);
  EXPECT_EQ(p.frame->At(1, 0), 0xFFFFFFu);
}

TEST_F(GifAnimatorTest, PaintPlanForAnEmptyPictureDrawsNothing) {
  const AnimatorPaint p = animator->PlanPaint();
  EXPECT_FALSE(p.fill);
  EXPECT_EQ(p.frame, nullptr);
}

}  // namespace
}  // namespace selvane::ui
