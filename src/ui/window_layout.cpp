#include "ui/window_layout.h"

#include "ui/dpi_scale.h"

namespace selvane::ui {

WindowLayout LayoutForDpi(int dpi) {
  auto s = [dpi](int v) { return ScaleToDpi(v, dpi); };
  // Each of left, top, width and height on its own, as Windows scales a control.
  auto box = [&s](const Box& b) { return Box{s(b.left), s(b.top), s(b.width), s(b.height)}; };
  auto font = [&s](const FontDesc& f) { return FontDesc{f.face, s(f.height)}; };
  WindowLayout l;
  l.dpi = dpi;
  l.artwork_percent = ArtworkPercent(dpi);
  l.window_width = s(kWindowWidth);
  l.window_height = s(kWindowHeight);
  l.BtnFechar = box(kBtnFechar);
  l.KavelPanel1 = box(kKavelPanel1);
  l.Image1 = box(kImage1);
  l.Image5 = box(kImage5);
  l.Label1 = box(kLabel1);
  l.Label3 = box(kLabel3);
  l.GIFAnimator1 = box(kGIFAnimator1);
  l.Panel1 = box(kPanel1);
  l.Panel2 = box(kPanel2);
  l.Panel3 = box(kPanel3);
  l.Panel4 = box(kPanel4);
  l.KavelPanel2 = box(kKavelPanel2);
  l.ImageButton3 = box(kImageButton3);
  l.KavelPanel1Rounding = s(kKavelPanel1Rounding);
  l.KavelPanel2Rounding = s(kKavelPanel2Rounding);
  l.label2_right = s(kLabel2Right);
  l.label2_top = s(kLabel2Top);
  l.label4_right = s(kLabel4Right);
  l.label4_top = s(kLabel4Top);
  l.small_line_height = s(18);
  l.default_font = font(kDefaultFont);
  l.status_font = font(kStatusFont);
  l.title_font = font(kTitleFont);
  l.small_font = font(kSmallFont);
  l.tile_font = font(kTileFont);
  return l;
}

}  // namespace selvane::ui
