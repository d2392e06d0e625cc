// The main window at the display scale the system reports: run-at-dpis.sh
// runs this program once per LogPixels value (96, 120, 144 and 192 dpi) and
// names the value it set in SELVANE_EXPECTED_DPI. The window is photographed
// over a backdrop and checked at the places its layout takes at that scale:
// size, fill, see-through corners at the scaled radius, tiles, the close
// picture drawn from the artwork of that scale, the text lines in their
// scaled fonts, the status line's tooltip, and a move to a monitor of another
// scale and back. The pictures go to screenshots/dpi-<N>/.

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "screen_shot.h"
#include "ui/dpi_scale.h"
#include "ui/element_ids.h"
#include "ui/image_button.h"
#include "ui/layout.h"
#include "ui/main_window_win32.h"
#include "ui/png_resource_win32.h"
#include "ui/resource_names.h"
#include "ui/wide_text_win32.h"
#include "ui/window_layout.h"

namespace selvane::ui {
namespace {

// The bounding box of the pixels of a block that differ from `ground`.
struct Ink {
  int pixels = 0, whites = 0, left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;
  int Width() const { return right - left + 1; }
};

class ScaledWindowTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    backdrop_ = CreateBackdrop();
    view_ = CreateMainWindow().release();
    MainViewEvents events;
    events.close_click = [] {};
    view_->SetEvents(std::move(events));
    hwnd_ = FindWindowW(kMainWindowClass, kMainWindowTitle);
    if (!hwnd_) return;
    ShowWindow(hwnd_, SW_SHOWNORMAL);
    dpi_ = static_cast<int>(GetDpiForWindow(hwnd_));
    layout_ = LayoutForDpi(dpi_);
    GetWindowRect(hwnd_, &rect_);
    kavel1_ = GetDlgItem(hwnd_, kIdKavelPanel1);
    panel1_ = GetDlgItem(kavel1_, kIdPanel1);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
      Pump(100);
      const POINT p = FillPoint();
      if (Take().At(p.x, p.y) == kKavelPanel1Fill) break;
    }
  }

  static void TearDownTestSuite() {
    delete view_;
    view_ = nullptr;
    DestroyWindow(backdrop_);
  }

  void SetUp() override {
    ASSERT_NE(hwnd_, nullptr);
    ShowWaiting(*view_);
    Pump(100);
  }

  static void Pump(int ms) { PumpFor(*view_, ms); }

  static int S(int v) { return ScaleToDpi(v, dpi_); }
  static POINT Win(int x, int y) { return {rect_.left + x, rect_.top + y}; }
  static POINT InPanel1(int x, int y) { return Win(layout_.KavelPanel1.left + x, layout_.KavelPanel1.top + y); }
  static POINT InPanel2(int x, int y) { return Win(layout_.KavelPanel2.left + x, layout_.KavelPanel2.top + y); }
  static POINT InChoice(int x, int y) { return InPanel1(layout_.Panel1.left + x, layout_.Panel1.top + y); }
  static POINT FillPoint() { return InPanel1(S(30), S(110)); }

  static Shot Take() { return TakeAround(rect_); }

  void Save(const Shot& shot, const char* name) {
    const std::filesystem::path dir = std::filesystem::path("screenshots") / ("dpi-" + std::to_string(dpi_));
    std::filesystem::create_directories(dir);
    SavePng(shot, dir / (std::string(name) + ".png"));
  }

  void ExpectColour(const Shot& s, POINT p, uint32_t expected, const std::string& what) {
    EXPECT_EQ(Hex(s.At(p.x, p.y)), Hex(expected)) << what << " at " << p.x << "," << p.y << " (dpi " << dpi_ << ")";
  }

  // What is drawn in a box of KavelPanel1 over its fill.
  static Ink InkIn(const Shot& s, const Box& box) {
    Ink ink;
    for (int y = box.top; y < box.Bottom(); ++y)
      for (int x = box.left; x < box.Right(); ++x) {
        const POINT p = InPanel1(x, y);
        const uint32_t c = s.At(p.x, p.y);
        if (c == kKavelPanel1Fill) continue;
        ++ink.pixels;
        ink.whites += c == 0xFFFFFF;
        ink.left = std::min(ink.left, x);
        ink.right = std::max(ink.right, x);
        ink.top = std::min(ink.top, y);
        ink.bottom = std::max(ink.bottom, y);
      }
    return ink;
  }

  // The width of `text` in the face and height of `font`.
  static int TextWidth(const std::string& text, const FontDesc& font) {
    HDC dc = GetDC(nullptr);
    HFONT f = CreateFontW(-font.height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                          OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                          Wide(font.face).c_str());
    HGDIOBJ old = SelectObject(dc, f);
    SIZE size{};
    const std::wstring w = Wide(text);
    GetTextExtentPoint32W(dc, w.c_str(), static_cast<int>(w.size()), &size);
    SelectObject(dc, old);
    DeleteObject(f);
    ReleaseDC(nullptr, dc);
    return size.cx;
  }

  static inline HWND backdrop_ = nullptr;
  static inline MainView* view_ = nullptr;
  static inline HWND hwnd_ = nullptr, kavel1_ = nullptr, panel1_ = nullptr;
  static inline int dpi_ = kBaseDpi;
  static inline WindowLayout layout_;
  static inline RECT rect_{};
};

TEST_F(ScaledWindowTest, RunsAtTheScaleTheDisplayIsSetTo) {
  char expected[16] = {};
  if (GetEnvironmentVariableA("SELVANE_EXPECTED_DPI", expected, sizeof expected) == 0)
    GTEST_SKIP() << "started without SELVANE_EXPECTED_DPI";
  EXPECT_EQ(dpi_, std::atoi(expected)) << "the window is told the display's dpi";
}

TEST_F(ScaledWindowTest, WindowHasTheScaledSizeAndIsCentred) {
  EXPECT_EQ(rect_.right - rect_.left, layout_.window_width);
  EXPECT_EQ(rect_.bottom - rect_.top, layout_.window_height);
  EXPECT_EQ(rect_.left, (GetSystemMetrics(SM_CXSCREEN) - layout_.window_width) / 2);
  EXPECT_EQ(rect_.top, (GetSystemMetrics(SM_CYSCREEN) - layout_.window_height) / 2);
  RECT client;
  GetClientRect(kavel1_, &client);
  EXPECT_EQ(client.right, layout_.KavelPanel1.width);
  EXPECT_EQ(client.bottom, layout_.KavelPanel1.height);
}

TEST_F(ScaledWindowTest, CornersAreSeeThroughAtTheScaledRadius) {
  const Shot s = Take();
  Save(s, "created");
  const int r = layout_.KavelPanel1Rounding / 2;
  const int w = layout_.KavelPanel1.width, h = layout_.KavelPanel1.height;
  // A fifth of the radius in from a corner lies outside the rounding; 45 %
  // in lies inside it. With the 96-dpi radius at a larger scale the first
  // point would be inside.
  const struct {
    const char* name;
    int x0, y0, dx, dy;  // the corner and the way into the panel
  } corners[] = {{"top left", 0, 0, 1, 1}, {"bottom left", 0, h - 1, 1, -1}, {"bottom right", w - 1, h - 1, -1, -1}};
  for (const auto& c : corners) {
    const int out = r / 5, in = r * 45 / 100;
    ExpectColour(s, InPanel1(c.x0 + c.dx * out, c.y0 + c.dy * out), kBackdrop, std::string(c.name) + " outside");
    ExpectColour(s, InPanel1(c.x0 + c.dx * in, c.y0 + c.dy * in), kKavelPanel1Fill, std::string(c.name) + " inside");
  }
  // Around the panel the window is see-through as well.
  ExpectColour(s, Win(0, 0), kBackdrop, "window corner");
  ExpectColour(s, InPanel1(-1, h / 2), kBackdrop, "strip left of KavelPanel1");
  ExpectColour(s, InPanel1(w / 2, h), kBackdrop, "strip below KavelPanel1");
  ExpectColour(s, InPanel1(0, h / 2), kKavelPanel1Fill, "KavelPanel1's left edge");
  ExpectColour(s, FillPoint(), kKavelPanel1Fill, "KavelPanel1's fill");
}

TEST_F(ScaledWindowTest, TilesSitAtTheirScaledPlaces) {
  view_->SetChoicePanelVisible(true);
  Pump(300);
  const Shot s = Take();
  Save(s, "choice");
  for (const Box& t : {layout_.Panel2, layout_.Panel3, layout_.Panel4}) {
    SCOPED_TRACE(t.left);
    const int mx = t.left + t.width / 2, my = t.top + t.height / 2;
    // Each edge: the tile's colour just inside, the choice panel's just outside.
    ExpectColour(s, InChoice(t.left, my), kTileFill, "left edge");
    ExpectColour(s, InChoice(t.left - 1, my), kPanel1Fill, "left of the tile");
    ExpectColour(s, InChoice(t.Right() - 1, my), kTileFill, "right edge");
    ExpectColour(s, InChoice(t.Right(), my), kPanel1Fill, "right of the tile");
    ExpectColour(s, InChoice(mx, t.top), kTileFill, "top edge");
    ExpectColour(s, InChoice(mx, t.top - 1), kPanel1Fill, "above the tile");
    ExpectColour(s, InChoice(mx, t.Bottom() - 1), kTileFill, "bottom edge");
    ExpectColour(s, InChoice(mx, t.Bottom()), kPanel1Fill, "below the tile");
  }
}

TEST_F(ScaledWindowTest, ClosePictureIsTheScaledArtworkAtItsScaledPlace) {
  const Shot s = Take();
  const RgbaImage picture = LoadPngResource(ArtworkResource(kResCloseButton, layout_.artwork_percent).c_str());
  ASSERT_FALSE(picture.Empty());
  const Box& button = layout_.ImageButton3;
  const ButtonLayoutResult pos = ComputeButtonLayout(TImageButtonLayout::pbsImageAbove, button.width, button.height,
                                                     picture.width, picture.height, 0, 0, false, false);
  const int px = button.left + pos.image_pos.x, py = button.top + pos.image_pos.y;
  const Box& panel = layout_.KavelPanel2;
  const int margin = layout_.KavelPanel2Rounding / 2;  // clear of the rounded corners
  int checked = 0, mismatches = 0;
  for (int y = std::max(margin, py); y < panel.height - margin; ++y)
    for (int x = margin; x < panel.width - margin; ++x) {
      if (x < px || x - px >= picture.width || y - py >= picture.height) continue;
      ++checked;
      const POINT at = InPanel2(x, y);
      if (s.At(at.x, at.y) != PixelOf(picture, x - px, y - py) && ++mismatches <= 5)
        ADD_FAILURE() << "pixel " << x << "," << y << " is " << Hex(s.At(at.x, at.y)) << ", picture "
                      << Hex(PixelOf(picture, x - px, y - py));
    }
  EXPECT_GT(checked, panel.width * panel.height / 3);
  EXPECT_EQ(mismatches, 0);
  // Rows of the panel above the picture are see-through.
  for (int y = 0; y < py; ++y) ExpectColour(s, InPanel2(panel.width / 2, y), kBackdrop, "above the picture");
}

TEST_F(ScaledWindowTest, TextLinesAreDrawnInScaledFontsAtScaledPlaces) {
  const std::string text = "Aguardando...";
  view_->SetStatusText(text);
  Pump(150);
  const Shot s = Take();
  const Box& line = layout_.Label1;
  const Ink ink = InkIn(s, line);
  ASSERT_GT(ink.pixels, 0) << "the status text is drawn inside its scaled box";
  EXPECT_GT(ink.whites, 0) << "in white";
  // Centred in the box, as wide as the text in the scaled font.
  const int slack = S(3);
  EXPECT_LE(std::abs((ink.left - line.left) - (line.Right() - 1 - ink.right)), slack);
  const int width = TextWidth(text, layout_.status_font);
  EXPECT_LE(ink.Width(), width);
  EXPECT_GE(ink.Width(), width - slack);
  // Nothing of it spills out of the box.
  const Box above{line.left, line.top - S(4), line.width, S(4)};
  EXPECT_EQ(InkIn(s, above).pixels, 0);
  // The version line keeps its scaled right edge and top.
  RECT version;
  GetWindowRect(GetDlgItem(kavel1_, kIdLabel2), &version);
  EXPECT_EQ(version.right, InPanel1(layout_.label2_right, 0).x);
  EXPECT_EQ(version.top, InPanel1(0, layout_.label2_top).y);
  EXPECT_EQ(version.right - version.left, TextWidth(kVersionText, layout_.small_font));
}

// The tooltip of the status line: found among the window thread's windows.
HWND FindTooltip() {
  HWND found = nullptr;
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND hwnd, LPARAM lp) -> BOOL {
        wchar_t cls[64] = {};
        GetClassNameW(hwnd, cls, 64);
        if (std::wstring(cls) != TOOLTIPS_CLASSW) return TRUE;
        *reinterpret_cast<HWND*>(lp) = hwnd;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

TEST_F(ScaledWindowTest, PointingAtTheStatusLineShowsTheWholeTextInATooltip) {
  const std::string text = std::string(60, 'W') + " Não Foi Possível Conectar...\nsegunda linha";
  view_->SetStatusText(text);
  Pump(100);
  HWND tip = FindTooltip();
  ASSERT_NE(tip, nullptr);
  // One tool: the status line's scaled box, with the whole text.
  ASSERT_EQ(SendMessageW(tip, TTM_GETTOOLCOUNT, 0, 0), 1);
  wchar_t buffer[512] = {};
  TTTOOLINFOW ti{};
  ti.cbSize = TTTOOLINFOW_V2_SIZE;
  ti.lpszText = buffer;
  ASSERT_TRUE(SendMessageW(tip, TTM_ENUMTOOLSW, 0, reinterpret_cast<LPARAM>(&ti)));
  EXPECT_EQ(ti.hwnd, kavel1_);
  const Box& line = layout_.Label1;
  EXPECT_EQ(ti.rect.left, line.left);
  EXPECT_EQ(ti.rect.top, line.top);
  EXPECT_EQ(ti.rect.right, line.Right());
  EXPECT_EQ(ti.rect.bottom, line.Bottom());
  SendMessageW(tip, TTM_GETTEXTW, 512, reinterpret_cast<LPARAM>(&ti));
  EXPECT_EQ(Narrow(buffer), text);
  // In the system's status font grown to the scale.
  NONCLIENTMETRICSW at96{};
  at96.cbSize = sizeof(at96);
  ASSERT_TRUE(SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof(at96), &at96, 0, kBaseDpi));
  LOGFONTW font{};
  GetObjectW(reinterpret_cast<HFONT>(SendMessageW(tip, WM_GETFONT, 0, 0)), sizeof(font), &font);
  EXPECT_NEAR(std::abs(font.lfHeight), ScaleToDpi(std::abs(at96.lfStatusFont.lfHeight), dpi_), 1);

  // Pointing at it shows the tip after the hover delay.
  const POINT over = InPanel1(line.left + line.width / 2, line.top + line.height / 2);
  SetCursorPos(over.x - 3, over.y);
  Pump(50);
  SetCursorPos(over.x, over.y);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(8);
  while (!IsWindowVisible(tip) && std::chrono::steady_clock::now() < deadline) Pump(50);
  EXPECT_TRUE(IsWindowVisible(tip)) << "the tooltip shows";
  Pump(200);
  RECT shown;
  GetWindowRect(tip, &shown);
  RECT area = rect_, screen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  UnionRect(&area, &area, &shown);
  InflateRect(&area, 10, 10);
  IntersectRect(&area, &area, &screen);
  Save(TakeShot(area), "tooltip");
  SetCursorPos(0, 0);
  Pump(100);
}

TEST_F(ScaledWindowTest, MovingToAMonitorOfAnotherScaleAndBackRestoresEveryPixel) {
  const Shot before = Take();
  const int other = dpi_ == kBaseDpi ? 144 : kBaseDpi;
  const WindowLayout there = LayoutForDpi(other);
  auto change = [](int dpi, int w, int h) {
    RECT suggested{rect_.left, rect_.top, rect_.left + w, rect_.top + h};
    SendMessageW(hwnd_, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
    Pump(300);
  };
  change(other, there.window_width, there.window_height);
  RECT moved, tile;
  GetWindowRect(hwnd_, &moved);
  EXPECT_EQ(moved.left, rect_.left) << "at the suggested place";
  EXPECT_EQ(moved.right - moved.left, there.window_width);
  EXPECT_EQ(moved.bottom - moved.top, there.window_height);
  GetWindowRect(GetDlgItem(panel1_, kIdPanel2), &tile);
  EXPECT_EQ(tile.right - tile.left, there.Panel2.width);
  EXPECT_EQ(tile.left - moved.left, there.KavelPanel1.left + there.Panel1.left + there.Panel2.left);
  {
    RECT r = moved;
    InflateRect(&r, 10, 10);
    RECT screen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    IntersectRect(&r, &r, &screen);
    const Shot s = TakeShot(r);
    Save(s, ("moved-to-dpi-" + std::to_string(other)).c_str());
    const POINT fill{moved.left + there.KavelPanel1.left + ScaleToDpi(30, other),
                     moved.top + there.KavelPanel1.top + ScaleToDpi(110, other)};
    EXPECT_EQ(Hex(s.At(fill.x, fill.y)), Hex(kKavelPanel1Fill));
  }
  change(dpi_, layout_.window_width, layout_.window_height);
  const Shot after = Take();
  int mismatches = 0;
  for (int y = before.top; y < before.top + before.height; ++y)
    for (int x = before.left; x < before.left + before.width; ++x)
      if (before.At(x, y) != after.At(x, y) && ++mismatches <= 5)
        ADD_FAILURE() << "pixel " << x << "," << y << " was " << Hex(before.At(x, y)) << ", is "
                      << Hex(after.At(x, y));
  EXPECT_EQ(mismatches, 0);
}

}  // namespace
}  // namespace selvane::ui
