#pragma once
// A decoded picture: straight (not premultiplied) 8-bit RGBA rows, top row
// first, plus whether the file stored it with a palette (which the dimmed
// copy of an image button leaves as it is).

#include <cstdint>
#include <vector>

namespace selvane::ui {

struct RgbaImage {
  int width = 0;
  int height = 0;
  bool palette = false;       // PNG colour type 3
  std::vector<uint8_t> rgba;  // width * height * 4 bytes

  bool Empty() const { return width <= 0 || height <= 0; }
  uint8_t* Pixel(int x, int y) { return &rgba[(static_cast<size_t>(y) * width + x) * 4]; }
  const uint8_t* Pixel(int x, int y) const { return &rgba[(static_cast<size_t>(y) * width + x) * 4]; }
};

}  // namespace selvane::ui
