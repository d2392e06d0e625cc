#include "ui/gif_composer.h"

#include <algorithm>

namespace selvane::ui {
namespace {

void FillRect(ComposedFrame& c, int left, int top, int width, int height, Color color) {
  const int x0 = std::max(0, left), y0 = std::max(0, top);
  const int x1 = std::min(c.width, left + width), y1 = std::min(c.height, top + height);
  if (x0 >= x1) return;  // wholly beside the screen
  for (int y = y0; y < y1; ++y)
    std::fill(c.pixels.begin() + static_cast<ptrdiff_t>(y) * c.width + x0,
              c.pixels.begin() + static_cast<ptrdiff_t>(y) * c.width + x1, color);
}

void DrawFrame(ComposedFrame& c, const TGIFFrame& f) {
  const int x0 = std::max(0, f.left), y0 = std::max(0, f.top);
  const int x1 = std::min(c.width, f.left + f.width), y1 = std::min(c.height, f.top + f.height);
  for (int y = y0; y < y1; ++y) {
    for (int x = x0; x < x1; ++x) {
      const int fx = x - f.left, fy = y - f.top;
      if (!f.TransparentAt(fx, fy)) c.pixels[static_cast<size_t>(y) * c.width + x] = f.ColorAt(fx, fy);
    }
  }
}

// Whether a frame is still visible after its display. The reserved methods
// have no meaning yet and leave the frame, as the cached path does.
bool Draws(TDisposalMethod d) {
  return d != TDisposalMethod::dmRestoreBackground && d != TDisposalMethod::dmRestorePrevious;
}

}  // namespace

const ComposedFrame& FrameComposer::Compose(const TGIFImage& image, int index, bool transparent) {
  const int count = static_cast<int>(image.frames.size());
  if (count == 0) {
    Reset();
    return cache_;
  }
  const int i = std::clamp(index, 0, count - 1);

  if (cache_index_ >= 0 && cache_index_ == i - 1 &&
      image.frames[i - 1].DisposalMethod != TDisposalMethod::dmRestorePrevious) {
    const TGIFFrame& prev = image.frames[i - 1];
    if (prev.DisposalMethod == TDisposalMethod::dmRestoreBackground)
      FillRect(cache_, prev.left, prev.top, prev.width, prev.height, cache_.background);
  } else {
    ComposedFrame c;
    c.width = image.ScreenWidth;
    c.height = image.ScreenHeight;
    const TGIFFrame* current =
        image.FrameIndex >= 0 && image.FrameIndex < count ? &image.frames[image.FrameIndex] : nullptr;
    Color transparent_color = clNone;
    if (current && current->TransparentColor != clNone) {
      c.background = transparent_color = current->TransparentColor;
    } else if (image.BackgroundColor != clNone && image.Transparent()) {
      c.background = image.BackgroundColor;
    } else {
      c.background = window_color_;
    }
    c.pixels.assign(static_cast<size_t>(c.width) * c.height, c.background);

    // Start at the last frame that leaves the screen fully known: an opaque
    // full frame (unless, before i, it gives back the picture it covered), or
    // a full frame before i that clears to the background.
    int s = 0;
    for (int k = i; k >= 1; --k) {
      const TGIFFrame& f = image.frames[k];
      const bool restores_previous = f.DisposalMethod == TDisposalMethod::dmRestorePrevious && k < i;
      if (f.CoversScreen(c.width, c.height) &&
          ((f.TransparentColor == clNone && !restores_previous) ||
           (f.DisposalMethod == TDisposalMethod::dmRestoreBackground && k < i))) {
        s = k;
        break;
      }
    }
    for (int j = s; j < i; ++j) {
      const TGIFFrame& f = image.frames[j];
      if (Draws(f.DisposalMethod))
        DrawFrame(c, f);
      else if (f.DisposalMethod == TDisposalMethod::dmRestoreBackground && j > s)
        FillRect(c, f.left, f.top, f.width, f.height, c.background);
    }
    c.transparent = transparent ? transparent_color : clNone;
    cache_ = std::move(c);
  }
  DrawFrame(cache_, image.frames[i]);
  cache_index_ = i;
  return cache_;
}

}  // namespace selvane::ui
