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
    timer_ = t.get();
    animator_ = std::make_unique<TGIFAnimator>(std::move(t), &host_);
    animator_->OnStart = [this] { ++starts_; };
    animator_->OnStop = [this] { ++stops_; };
  }
  FakeHost host_;
  FakeTimer* timer_;
  std::unique_ptr<TGIFAnimator> animator_;
  int starts_ = 0, stops_ = 0;
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
  animator_->SetBounds(237, 191, 105, 105);
  animator_->SetImage(Picture({7, 7, 7}));
  EXPECT_EQ(timer_->Interval(), 70);
  EXPECT_EQ(animator_->FrameIndex(), 0);
  EXPECT_EQ(animator_->Width(), 2);  // AutoSize
  EXPECT_EQ(animator_->Left(), 237);
}

TEST_F(GifAnimatorTest, PlaysEveryFrameForItsOwnDelayAndLoops) {
  animator_->SetImage(Picture({7, 2, 300}));
  animator_->SetAnimate(true);
  ASSERT_TRUE(timer_->Running());
  const int expected_frames[] = {1, 2, 0, 1};
  const int expected_intervals[] = {50, 3000, 70, 50};
  for (int i = 0; i < 4; ++i) {
    timer_->Fire();
    EXPECT_EQ(animator_->FrameIndex(), expected_frames[i]);
    EXPECT_EQ(timer_->Interval(), expected_intervals[i]);
  }
  EXPECT_TRUE(animator_->Animate());
  EXPECT_EQ(host_.repaints, 4);
}

TEST_F(GifAnimatorTest, WithoutLoopOnePassEndsOnFrameZeroAndStops) {
  animator_->SetImage(Picture({7, 7, 7}));
  animator_->SetLoop(false);
  animator_->SetAnimate(true);
  timer_->Fire();
  timer_->Fire();
  EXPECT_TRUE(animator_->Animate());
  timer_->Fire();
  EXPECT_EQ(animator_->FrameIndex(), 0);
  EXPECT_FALSE(animator_->Animate());
  EXPECT_EQ(stops_, 1);
  EXPECT_FALSE(timer_->Running());
}

TEST_F(GifAnimatorTest, AnimateIsIdempotent) {
  animator_->SetImage(Picture({7, 7}));
  animator_->SetAnimate(true);
  animator_->SetAnimate(true);
  EXPECT_EQ(starts_, 1);
  animator_->SetAnimate(false);
  animator_->SetAnimate(false);
  EXPECT_EQ(stops_, 1);
  EXPECT_FALSE(timer_->Running());
}

TEST_F(GifAnimatorTest, StoppingKeepsTheFrameAndRestartGoesOnFromIt) {
  animator_->SetImage(Picture({7, 7, 7}));
  animator_->SetAnimate(true);
  timer_->Fire();
  animator_->SetAnimate(false);
  EXPECT_EQ(animator_->FrameIndex(), 1);
  animator_->SetAnimate(true);
  timer_->Fire();
  EXPECT_EQ(animator_->FrameIndex(), 2);
}

TEST_F(GifAnimatorTest, HiddenControlKeepsItsTimerButDoesNotAdvance) {
  animator_->SetImage(Picture({7, 7, 7}));
  animator_->SetAnimate(true);
  timer_->Fire();
  animator_->SetVisible(false);
  timer_->Fire();
  timer_->Fire();
  EXPECT_EQ(animator_->FrameIndex(), 1);
  EXPECT_TRUE(timer_->Running());
  animator_->SetVisible(true);
  timer_->Fire();
  EXPECT_EQ(animator_->FrameIndex(), 2);
}

TEST_F(GifAnimatorTest, NothingAdvancesWithoutAParentWindow) {
  animator_->SetImage(Picture({7, 7}));
  animator_->SetAnimate(true);
  host_.has_parent = false;
  timer_->Fire();
  EXPECT_EQ(animator_->FrameIndex(), 0);
}

TEST_F(GifAnimatorTest, SingleFramePictureNeverAdvancesThoughAnimateReadsTrue) {
  animator_->SetImage(Picture({7}));
  animator_->SetAnimate(true);
  EXPECT_TRUE(animator_->Animate());
  EXPECT_EQ(animator_->GetDelayTime(), 0);
  timer_->Fire();
  EXPECT_EQ(animator_->FrameIndex(), 0);
  EXPECT_EQ(host_.repaints, 0);
}

TEST_F(GifAnimatorTest, FrameIndexAcceptsOnlyOtherValidFrames) {
  animator_->SetImage(Picture({7, 30, 7}));
  int changes = 0;
  animator_->OnFrameChanged = [&] { ++changes; };
  for (int n : {-1, 3, 0}) animator_->SetFrameIndex(n);
  EXPECT_EQ(changes, 0);
  animator_->SetFrameIndex(1);
  EXPECT_EQ(animator_->FrameIndex(), 1);
  EXPECT_EQ(timer_->Interval(), 300);
  EXPECT_EQ(changes, 1);
}

TEST_F(GifAnimatorTest, PaintPlanForAnOpaquePicture) {
  animator_->SetBounds(0, 0, 28, 28);
  animator_->SetImage(Picture({7, 7}));
  const AnimatorPaint p = animator_->PlanPaint();
  EXPECT_TRUE(p.fill);
  ASSERT_NE(p.frame, nullptr);
  EXPECT_EQ(p.dest_width, 2);
  EXPECT_EQ(p.transparent, clNone);
  EXPECT_EQ(p.frame->At(1, 0), 0xFFFFFFu);
}

TEST_F(GifAnimatorTest, PaintPlanForAnEmptyPictureDrawsNothing) {
  const AnimatorPaint p = animator_->PlanPaint();
  EXPECT_FALSE(p.fill);
  EXPECT_EQ(p.frame, nullptr);
}

}  // namespace
}  // namespace selvane::ui
