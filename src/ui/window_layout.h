#pragma once
// The main window's layout at a monitor's dpi: every position, size, rounding
// and font height of layout.h scaled by dpi / 96, plus the artwork scale the
// pictures come from. At 96 dpi it is layout.h itself.

#include "ui/layout.h"

namespace selvane::ui {

struct WindowLayout {
  int dpi = 96;
  int artwork_percent = 100;  // which artwork the pictures are drawn from
  int window_width = 0, window_height = 0;
  // The elements' boxes, by their names; each relative to its parent.
  Box BtnFechar, KavelPanel1, Image1, Image5, Label1, Label3, GIFAnimator1, Panel1, Panel2, Panel3, Panel4,
      KavelPanel2, ImageButton3;
  int KavelPanel1Rounding = 0, KavelPanel2Rounding = 0;
  // Label2 and Label4 size themselves to their text: right edge and top.
  int label2_right = 0, label2_top = 0, label4_right = 0, label4_top = 0;
  int small_line_height = 0;  // their height until the text is measured
  FontDesc default_font, status_font, title_font, small_font, tile_font;
};

WindowLayout LayoutForDpi(int dpi);

}  // namespace selvane::ui
