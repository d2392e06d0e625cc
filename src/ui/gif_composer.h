#pragma once
// Composition of animation frames at the logical screen size, honouring each
// frame's disposal, with a one-frame cache so that playing in order builds
// every frame from the previous one.

#include "ui/gif_image.h"

namespace selvane::ui {

struct ComposedFrame {
  int width = 0, height = 0;
  std::vector<Color> pixels;  // 0xRRGGBB, rows top to bottom
  Color background = 0;
  Color transparent = clNone;  // pixels of this colour are left out when drawn

  Color At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

class FrameComposer {
 public:
  // `window_color` is the background when the picture offers none (clWindow).
  explicit FrameComposer(Color window_color = 0xFFFFFF) : window_color_(window_color) {}

  // The composed picture of frame `index` (lowered to the last frame), now
  // also held in the cache. `transparent` is the animator's Transparent.
  const ComposedFrame& Compose(const TGIFImage& image, int index, bool transparent);
  // Forgets the cache (the picture changed).
  void Reset() { cache_index_ = -1; cache_ = ComposedFrame{}; }
  int CacheIndex() const { return cache_index_; }

 private:
  ComposedFrame cache_;
  int cache_index_ = -1;
  Color window_color_;
};

}  // namespace selvane::ui
