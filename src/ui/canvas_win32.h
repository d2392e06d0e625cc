#pragma once
// An off-screen 32-bit surface for flicker-free painting: GDI draws fills and
// text on it, pictures are alpha-blended into its pixels directly, and the
// result is copied to the window in one step. Drawing coordinates are those of
// the window; the surface covers only the rectangle being painted.

#include <windows.h>

#include "ui/rgba_image.h"

namespace selvane::ui {

class Canvas {
 public:
  // Covers `area` of the window's client area.
  explicit Canvas(const RECT& area);
  ~Canvas();
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;

  HDC Dc() const { return dc_; }  // in window coordinates
  void Fill(const RECT& r, COLORREF color);
  // Blends `image` with its top left corner at (x, y), clipped to `clip`.
  void Blend(const RgbaImage& image, int x, int y, const RECT& clip);
  // Draws 0xRRGGBB pixels (sw x sh) scaled to the dw x dh block at (x, y),
  // leaving out pixels equal to `skip` (pass a value above 0xFFFFFF to draw
  // all), clipped to `clip`.
  void DrawPixels(const uint32_t* pixels, int sw, int sh, int x, int y, int dw, int dh, uint32_t skip,
                  const RECT& clip);
  // Reads a pixel as 0xRRGGBB (for tests of painting).
  uint32_t PixelAt(int x, int y);
  void CopyTo(HDC target);

 private:
  RECT area_;
  HDC dc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ old_ = nullptr;
  uint32_t* bits_ = nullptr;  // top-down, 0x00RRGGBB
};

// Serves WM_PAINT of `hwnd` through a canvas over the area to paint: the
// client area is filled with `fill`, `paint(canvas, client)` draws over it,
// and the result goes to the window in one step.
template <typename Paint>
void PaintThroughCanvas(HWND hwnd, COLORREF fill, Paint&& paint) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd, &ps);
  if (!IsRectEmpty(&ps.rcPaint)) {
    Canvas canvas(ps.rcPaint);
    RECT client;
    GetClientRect(hwnd, &client);
    canvas.Fill(client, fill);
    paint(canvas, client);
    canvas.CopyTo(dc);
  }
  EndPaint(hwnd, &ps);
}

}  // namespace selvane::ui
