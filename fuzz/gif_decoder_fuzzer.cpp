// Feeds arbitrary bytes to the GIF reader and composes every frame it
// accepts: malformed pictures must end in GifError, never in a crash.

#include <cstddef>
#include <cstdint>

#include "ui/gif_composer.h"
#include "ui/gif_image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace selvane::ui;
  TGIFImage image;
  try {
    image = DecodeGif({data, size});
  } catch (const GifError&) {
    return 0;
  }
  // Composing walks every frame's rectangle over the logical screen; keep the
  // screen small enough for the fuzzer's memory limit.
  if (int64_t{image.ScreenWidth} * image.ScreenHeight > 1024 * 1024) return 0;
  FrameComposer composer;
  const int count = static_cast<int>(image.frames.size());
  for (int i = 0; i < count && i < 64; ++i) composer.Compose(image, i, true);
  if (count > 1) composer.Compose(image, count - 1, false);
  return 0;
}
