#pragma once
// TGIFImage and TGIFFrame: a decoded GIF picture as the busy animation plays
// it. Colours are 0xRRGGBB; clNone stands for "no colour".

#include <cstdint>
#include <span>
#include <stdexcept>
#include <vector>

namespace selvane::ui {

using Color = uint32_t;
inline constexpr Color clNone = 0x1FFFFFFF;

enum class TDisposalMethod : uint8_t {
  dmUndefined,
  dmLeave,
  dmRestoreBackground,
  dmRestorePrevious,
  dmReserved4,
  dmReserved5,
  dmReserved6,
  dmReserved7,
};

struct TGIFFrame {
  int left = 0, top = 0;  // Origin within the logical screen
  int width = 0, height = 0;
  uint16_t AnimateInterval = 0;  // milliseconds
  TDisposalMethod DisposalMethod = TDisposalMethod::dmUndefined;
  Color TransparentColor = clNone;
  int transparent_index = -1;    // colour-map index left out when drawing, -1 = none
  std::vector<Color> colors;     // the frame's colour map (local, else global)
  std::vector<uint8_t> indices;  // width * height, rows top to bottom

  bool CoversScreen(int screen_width, int screen_height) const {
    return left <= 0 && top <= 0 && left + width >= screen_width && top + height >= screen_height;
  }
  Color ColorAt(int x, int y) const {
    const uint8_t i = indices[static_cast<size_t>(y) * width + x];
    return i < colors.size() ? colors[i] : 0;
  }
  bool TransparentAt(int x, int y) const {
    return transparent_index >= 0 && indices[static_cast<size_t>(y) * width + x] == transparent_index;
  }
};

struct TGIFImage {
  int ScreenWidth = 0;
  int ScreenHeight = 0;
  Color BackgroundColor = clNone;
  int FrameIndex = -1;  // 0 once frames have been read
  bool Looping = false;  // NETSCAPE2.0 block present
  int RepeatCount = 0;
  std::vector<TGIFFrame> frames;

  // The picture counts as transparent when any frame has a transparent colour.
  bool Transparent() const {
    for (const TGIFFrame& f : frames)
      if (f.TransparentColor != clNone) return true;
    return false;
  }
};

class GifError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Largest logical screen or frame area accepted, and the most frame pixels a
// picture may hold in total: guards memory against hostile sizes.
inline constexpr int64_t kMaxGifArea = 4096 * 4096;
inline constexpr int64_t kMaxGifTotalPixels = 32 * 1024 * 1024;

// Decodes a GIF87a/GIF89a stream. Throws GifError on malformed input.
TGIFImage DecodeGif(std::span<const uint8_t> data);

}  // namespace selvane::ui
