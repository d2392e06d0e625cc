#include "ui/gif_animator.h"

#include <algorithm>

namespace selvane::ui {

int ClampFrameDelay(int ms) { return std::clamp(ms, 50, 10000); }

TGIFAnimator::TGIFAnimator(std::unique_ptr<AnimationTimer> timer, AnimatorHost* host, Color window_color)
    : ControlBounds(105, 105), FTimer(std::move(timer)), host_(host), FCache(window_color) {}

TGIFAnimator::~TGIFAnimator() {
  FTimer->SetOnTimer(nullptr);
  FTimer->SetEnabled(false);
  OnStart = OnStop = OnChange = OnFrameChanged = nullptr;
  FAnimate = false;
}

void TGIFAnimator::SetImage(const TGIFImage& image) {
  {
    std::lock_guard lock(lock_);
    FImage = image;
  }
  ImageChanged();
}

void TGIFAnimator::ImageChanged() {
  {
    std::lock_guard lock(lock_);
    FCache.Reset();
    FFrameIndex = FImage.FrameIndex;
    if (FFrameIndex >= 0 && !FImage.frames.empty()) FTimer->SetInterval(GetDelayTime());
  }
  AdjustSize();
  if (host_) host_->Invalidate();
  if (OnChange) OnChange();
}

void TGIFAnimator::AdjustSize() {
  if (auto_size_) {
    width_ = FImage.ScreenWidth;
    height_ = FImage.ScreenHeight;
  }
}

void TGIFAnimator::SetVisible(bool visible) {
  visible_ = visible;
  if (host_) host_->Invalidate();
}

void TGIFAnimator::SetAnimate(bool animate) {
  if (animate == FAnimate) return;
  if (animate) {
    FTimer->SetOnTimer([this] { TimerExpired(); });
    FTimer->SetEnabled(true);
    FAnimate = FTimer->Enabled();
    if (OnStart) OnStart();
  } else {
    FTimer->SetEnabled(false);
    FTimer->SetOnTimer(nullptr);
    FAnimate = false;
    if (OnStop) OnStop();
    AdjustSize();
    if (host_) host_->Invalidate();
  }
}

void TGIFAnimator::SetFrameIndex(int index) {
  if (index < 0 || index >= static_cast<int>(FImage.frames.size()) || index == FFrameIndex) return;
  {
    std::lock_guard lock(lock_);
    FFrameIndex = index;
    FTimer->SetInterval(GetDelayTime());
  }
  if (OnFrameChanged) OnFrameChanged();
  AdjustSize();
  if (host_) host_->Invalidate();
}

void TGIFAnimator::InvalidateMaybeNow() {
  if (!host_) return;
  if (FAnimate)
    host_->RepaintNow();
  else
    host_->Invalidate();
}

void TGIFAnimator::SetStretch(bool v) {
  FStretch = v;
  InvalidateMaybeNow();
}

void TGIFAnimator::SetCenter(bool v) {
  FCenter = v;
  InvalidateMaybeNow();
}

void TGIFAnimator::SetTransparent(bool v) {
  FTransparent = v;
  InvalidateMaybeNow();
}

int TGIFAnimator::GetDelayTime() const {
  const int count = static_cast<int>(FImage.frames.size());
  if (FFrameIndex < 0 || FFrameIndex >= count || count < 2) return 0;
  return ClampFrameDelay(FImage.frames[FFrameIndex].AnimateInterval);
}

void TGIFAnimator::TimerExpired() {
  const int count = static_cast<int>(FImage.frames.size());
  if (!visible_ || count < 2 || !host_ || !host_->HasParentWindow()) return;
  std::unique_lock lock(lock_);
  FFrameIndex = FFrameIndex >= count - 1 ? 0 : FFrameIndex + 1;
  FTimerRepaint = true;
  if (OnFrameChanged) OnFrameChanged();
  host_->RepaintNow();
  FTimerRepaint = false;
  if (FFrameIndex >= 0 && FFrameIndex < count) FTimer->SetInterval(GetDelayTime());
  lock.unlock();
  if (!FLoop && FFrameIndex == 0) SetAnimate(false);
}

AnimatorPaint TGIFAnimator::PlanPaint() {
  std::lock_guard lock(lock_);
  AnimatorPaint p;
  const bool empty = FImage.frames.empty();
  // A transparent or empty picture shows what lies beneath; else the fill.
  p.fill = !(empty || FImage.Transparent());
  if (empty || FImage.ScreenWidth < 1 || FImage.ScreenHeight < 1) return p;
  p.frame = &FCache.Compose(FImage, FFrameIndex, FTransparent);
  if (FStretch) {
    p.dest_width = width_;
    p.dest_height = height_;
  } else {
    p.dest_width = FImage.ScreenWidth;
    p.dest_height = FImage.ScreenHeight;
    if (FCenter) {
      p.dest_left = (width_ - FImage.ScreenWidth) / 2;
      p.dest_top = (height_ - FImage.ScreenHeight) / 2;
    }
  }
  if (p.frame->transparent != clNone && FTransparent) p.transparent = p.frame->transparent;
  return p;
}

}  // namespace selvane::ui
