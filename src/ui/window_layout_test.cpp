// The main window's layout at other display scales keeps its shape.

#include "ui/window_layout.h"

#include <gtest/gtest.h>

#include <vector>

namespace selvane::ui {
namespace {

bool SameBox(const Box& a, const Box& b) {
  return a.left == b.left && a.top == b.top && a.width == b.width && a.height == b.height;
}

TEST(WindowLayoutTest, At96DpiEveryValueIsTheDesignedOne) {
  const WindowLayout l = LayoutForDpi(96);
  EXPECT_EQ(l.artwork_percent, 100);
  EXPECT_EQ(l.window_width, kWindowWidth);
  EXPECT_EQ(l.window_height, kWindowHeight);
  const struct {
    const char* name;
    Box scaled, designed;
  } boxes[] = {
      {"BtnFechar", l.BtnFechar, kBtnFechar},       {"KavelPanel1", l.KavelPanel1, kKavelPanel1},
      {"Image1", l.Image1, kImage1},                {"Image5", l.Image5, kImage5},
      {"Label1", l.Label1, kLabel1},                {"Label3", l.Label3, kLabel3},
      {"GIFAnimator1", l.GIFAnimator1, kGIFAnimator1}, {"Panel1", l.Panel1, kPanel1},
      {"Panel2", l.Panel2, kPanel2},                {"Panel3", l.Panel3, kPanel3},
      {"Panel4", l.Panel4, kPanel4},                {"KavelPanel2", l.KavelPanel2, kKavelPanel2},
      {"ImageButton3", l.ImageButton3, kImageButton3},
  };
  for (const auto& b : boxes) EXPECT_TRUE(SameBox(b.scaled, b.designed)) << b.name;
  EXPECT_EQ(l.KavelPanel1Rounding, kKavelPanel1Rounding);
  EXPECT_EQ(l.KavelPanel2Rounding, kKavelPanel2Rounding);
  EXPECT_EQ(l.label2_right, kLabel2Right);
  EXPECT_EQ(l.label4_right, kLabel4Right);
  EXPECT_EQ(l.status_font.height, kStatusFont.height);
  EXPECT_EQ(l.title_font.height, kTitleFont.height);
}

// Whether `inner` (relative to the parent) lies inside a parent of w x h.
bool Inside(const Box& inner, int w, int h) {
  return inner.left >= 0 && inner.top >= 0 && inner.Right() <= w && inner.Bottom() <= h;
}

TEST(WindowLayoutTest, AtEveryScaleTheElementsStayInsideTheirParentsAndApart) {
  for (int dpi = 96; dpi <= 384; dpi += 6) {
    SCOPED_TRACE(dpi);
    const WindowLayout l = LayoutForDpi(dpi);
    EXPECT_TRUE(Inside(l.KavelPanel1, l.window_width, l.window_height));
    EXPECT_TRUE(Inside(l.KavelPanel2, l.window_width, l.window_height));
    const int w = l.KavelPanel1.width, h = l.KavelPanel1.height;
    for (const Box& b : {l.Label1, l.Label3, l.GIFAnimator1, l.Panel1, l.Image1}) EXPECT_TRUE(Inside(b, w, h));
    EXPECT_LT(l.label2_right, w);
    // Title above animation above status line, none overlapping.
    EXPECT_LE(l.Label3.Bottom(), l.GIFAnimator1.top);
    EXPECT_LE(l.GIFAnimator1.Bottom(), l.Label1.top);
    // The tiles sit side by side inside the choice panel.
    const std::vector<Box> tiles{l.Panel2, l.Panel3, l.Panel4};
    for (size_t i = 0; i < tiles.size(); ++i) {
      EXPECT_TRUE(Inside(tiles[i], l.Panel1.width, l.Panel1.height));
      if (i > 0) {
        EXPECT_LT(tiles[i - 1].Right(), tiles[i].left);
      }
    }
    // The close panel keeps lying across the large panel's top right corner.
    EXPECT_LT(l.KavelPanel2.left, l.KavelPanel1.Right());
    EXPECT_GT(l.KavelPanel2.Right(), l.KavelPanel1.Right() - l.KavelPanel1Rounding / 2);
    // The animation's box and the rounding grow with the scale, never shrink.
    const WindowLayout prev = LayoutForDpi(dpi - 6);
    EXPECT_GE(l.GIFAnimator1.width, prev.GIFAnimator1.width);
    EXPECT_GE(l.KavelPanel1Rounding, prev.KavelPanel1Rounding);
    EXPECT_GE(l.status_font.height, prev.status_font.height);
  }
}

}  // namespace
}  // namespace selvane::ui
