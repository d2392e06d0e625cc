#include "ui/canvas_win32.h"

#include <algorithm>

namespace selvane::ui {

Canvas::Canvas(const RECT& area) : area_(area) {
  const int w = std::max<int>(1, area.right - area.left);
  const int h = std::max<int>(1, area.bottom - area.top);
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = -h;  // top-down
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  HDC screen = GetDC(nullptr);
  dc_ = CreateCompatibleDC(screen);
  void* bits = nullptr;
  bitmap_ = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  ReleaseDC(nullptr, screen);
  bits_ = static_cast<uint32_t*>(bits);
  old_ = SelectObject(dc_, bitmap_);
  SetViewportOrgEx(dc_, -area.left, -area.top, nullptr);
}

Canvas::~Canvas() {
  SelectObject(dc_, old_);
  DeleteObject(bitmap_);
  DeleteDC(dc_);
}

void Canvas::Fill(const RECT& r, COLORREF color) {
  HBRUSH brush = CreateSolidBrush(color);
  FillRect(dc_, &r, brush);
  DeleteObject(brush);
}

namespace {

// The part of the w x h block at (x, y) that lies in both `clip` and `area`.
bool Clip(const RECT& area, const RECT& clip, int x, int y, int w, int h, RECT* out) {
  RECT block{x, y, x + w, y + h};
  RECT tmp;
  return IntersectRect(&tmp, &block, &clip) && IntersectRect(out, &tmp, &area);
}

}  // namespace

void Canvas::Blend(const RgbaImage& image, int x, int y, const RECT& clip) {
  RECT r;
  if (image.Empty() || !bits_ || !Clip(area_, clip, x, y, image.width, image.height, &r)) return;
  GdiFlush();
  const int stride = area_.right - area_.left;
  for (int py = r.top; py < r.bottom; ++py) {
    uint32_t* row = bits_ + static_cast<size_t>(py - area_.top) * stride;
    for (int px = r.left; px < r.right; ++px) {
      const uint8_t* s = image.Pixel(px - x, py - y);
      const unsigned a = s[3];
      if (a == 0) continue;
      uint32_t& d = row[px - area_.left];
      auto mix = [a](unsigned src, unsigned dst) { return (src * a + dst * (255 - a) + 127) / 255; };
      const unsigned red = mix(s[0], (d >> 16) & 0xFF);
      const unsigned green = mix(s[1], (d >> 8) & 0xFF);
      const unsigned blue = mix(s[2], d & 0xFF);
      d = (red << 16) | (green << 8) | blue;
    }
  }
}

void Canvas::DrawPixels(const uint32_t* pixels, int sw, int sh, int x, int y, int dw, int dh, uint32_t skip,
                        const RECT& clip) {
  RECT r;
  if (!bits_ || sw <= 0 || sh <= 0 || dw <= 0 || dh <= 0 || !Clip(area_, clip, x, y, dw, dh, &r)) return;
  GdiFlush();
  const int stride = area_.right - area_.left;
  for (int py = r.top; py < r.bottom; ++py) {
    uint32_t* row = bits_ + static_cast<size_t>(py - area_.top) * stride;
    const size_t sy = static_cast<size_t>(py - y) * sh / dh;
    for (int px = r.left; px < r.right; ++px) {
      const size_t sx = static_cast<size_t>(px - x) * sw / dw;
      const uint32_t c = pixels[sy * sw + sx] & 0xFFFFFF;
      if (c != skip) row[px - area_.left] = c;
    }
  }
}

uint32_t Canvas::PixelAt(int x, int y) {
  GdiFlush();
  return bits_[static_cast<size_t>(y - area_.top) * (area_.right - area_.left) + (x - area_.left)] & 0xFFFFFF;
}

void Canvas::CopyTo(HDC target) {
  GdiFlush();
  BitBlt(target, area_.left, area_.top, area_.right - area_.left, area_.bottom - area_.top, dc_, area_.left,
         area_.top, SRCCOPY);
}

}  // namespace selvane::ui
