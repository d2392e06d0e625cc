// Feeds arbitrary bytes to the GIF reader and composes every frame it
// accepts: malformed pictures must end in GifError, never in a crash. A
// decoded frame holds one colour index per pixel of its rectangle, its
// transparent index names an entry of its colour map, and its composed
// picture covers exactly the logical screen; composing in order (each frame
// from the cached one before it) gives the same pictures as composing each
// frame from scratch.

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "ui/gif_composer.h"
#include "ui/gif_image.h"

namespace {

void Require(bool ok) {
  if (!ok) abort();
}

bool Same(const selvane::ui::ComposedFrame& a, const selvane::ui::ComposedFrame& b) {
  return a.width == b.width && a.height == b.height && a.background == b.background &&
         a.transparent == b.transparent && a.pixels == b.pixels;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace selvane::ui;
  TGIFImage image;
  try {
    image = DecodeGif({data, size});
  } catch (const GifError&) {
    return 0;
  }
  Require(image.ScreenWidth >= 0 && image.ScreenHeight >= 0);
  Require(int64_t{image.ScreenWidth} * image.ScreenHeight <= kMaxGifArea);
  for (const TGIFFrame& f : image.frames) {
    Require(f.left >= 0 && f.top >= 0 && f.width >= 0 && f.height >= 0);
    Require(f.indices.size() == static_cast<size_t>(f.width) * static_cast<size_t>(f.height));
    Require(f.transparent_index < 0 || static_cast<size_t>(f.transparent_index) < f.colors.size());
    Require((f.transparent_index < 0) == (f.TransparentColor == clNone));
  }
  // Composing walks every frame's rectangle over the logical screen; keep the
  // screen small enough for the fuzzer's memory limit and time.
  if (int64_t{image.ScreenWidth} * image.ScreenHeight > 256 * 256) return 0;
  FrameComposer in_order;
  const int count = static_cast<int>(image.frames.size());
  for (int i = 0; i < count && i < 32; ++i) {
    const ComposedFrame& played = in_order.Compose(image, i, true);
    Require(played.width == image.ScreenWidth && played.height == image.ScreenHeight);
    Require(played.pixels.size() == static_cast<size_t>(played.width) * static_cast<size_t>(played.height));
    FrameComposer fresh;
    Require(Same(played, fresh.Compose(image, i, true)));
  }
  if (count > 1) in_order.Compose(image, count - 1, false);
  return 0;
}
