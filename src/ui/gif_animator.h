#pragma once
// TGIFAnimator: plays a multi-frame GIF in a windowless control. A frame timer
// ticks; each tick on the window thread advances the frame, repaints at once
// and sets the timer to the new frame's delay. Hidden, the control keeps its
// timer but does not advance.

#include <functional>
#include <memory>
#include <mutex>

#include "ui/control_bounds.h"
#include "ui/frame_timer.h"
#include "ui/gif_composer.h"
#include "ui/gif_image.h"

namespace selvane::ui {

// The window that hosts the control, on the window thread.
class AnimatorHost {
 public:
  virtual ~AnimatorHost() = default;
  virtual void RepaintNow() = 0;  // invalidate the control's area and paint it at once
  virtual void Invalidate() = 0;
  virtual bool HasParentWindow() const = 0;
};

// How to paint the control (coordinates relative to the control).
struct AnimatorPaint {
  bool fill = false;  // fill the client area with the control's colour first
  const ComposedFrame* frame = nullptr;  // nothing more to draw when null
  int dest_left = 0, dest_top = 0, dest_width = 0, dest_height = 0;
  Color transparent = clNone;  // leave out pixels of this colour
};

// Frame delay clamped to what the animation accepts: 50..10000 ms.
int ClampFrameDelay(int ms);

class TGIFAnimator : public ControlBounds {
 public:
  TGIFAnimator(std::unique_ptr<AnimationTimer> timer, AnimatorHost* host, Color window_color = 0xFFFFFF);
  ~TGIFAnimator();
  TGIFAnimator(const TGIFAnimator&) = delete;
  TGIFAnimator& operator=(const TGIFAnimator&) = delete;

  void SetHost(AnimatorHost* host) { host_ = host; }

  void SetImage(const TGIFImage& image);
  const TGIFImage& Image() const { return FImage; }
  void SetVisible(bool visible);
  bool Visible() const { return visible_; }
  void SetAnimate(bool animate);
  bool Animate() const { return FAnimate; }
  void SetFrameIndex(int index);
  int FrameIndex() const { return FFrameIndex; }
  void SetLoop(bool loop) { FLoop = loop; }
  bool Loop() const { return FLoop; }
  void SetStretch(bool v);
  void SetCenter(bool v);
  void SetTransparent(bool v);
  void SetAutoSize(bool v) { auto_size_ = v; }

  // Delay of the frame shown, in ms; 0 when there is nothing to play.
  int GetDelayTime() const;
  // The timer's tick (window thread).
  void TimerExpired();
  // What to paint now, composing (and caching) the current frame.
  AnimatorPaint PlanPaint();

  std::function<void()> OnStart, OnStop, OnChange, OnFrameChanged;

 private:
  void ImageChanged();
  void AdjustSize();
  void InvalidateMaybeNow();

  std::unique_ptr<AnimationTimer> FTimer;
  AnimatorHost* host_;
  std::recursive_mutex lock_;
  bool visible_ = true;
  bool auto_size_ = true;

  bool FAnimate = false;
  TGIFImage FImage;
  int FFrameIndex = 0;
  bool FStretch = false;
  bool FLoop = true;
  bool FCenter = false;
  bool FTransparent = true;
  bool FTimerRepaint = false;
  FrameComposer FCache;
};

}  // namespace selvane::ui
