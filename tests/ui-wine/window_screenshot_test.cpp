// The main window on a real (virtual) screen at 96 dpi: it is shown over a
// backdrop of a colour that the window never uses, driven through MainView
// into each of its visible states, photographed through the screen's device
// context, and checked pixel by pixel at positions taken from the layout.
// Every state's picture is saved under screenshots/ for people to look at.

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <variant>
#include <vector>

#include "ui/element_ids.h"
#include "ui/layout.h"
#include "ui/main_window_win32.h"
#include "ui/panel_win32.h"
#include "ui/png_resource_win32.h"
#include "ui/resource_names.h"
#include "screen_shot.h"

namespace selvane::ui {
namespace {

// One window for the whole suite: Wine takes seconds to tear a window down.
// The first test sees it as created; each later one starts from the start
// state set again through MainView.
class WindowScreenshotTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    backdrop_ = CreateBackdrop();
    view_ = CreateMainWindow().release();
    MainViewEvents events;
    events.choice_click = [](Edition e) { clicked_ = static_cast<int>(e); };
    events.close_click = [] { ++close_clicks_; };
    view_->SetEvents(std::move(events));
    hwnd_ = FindWindowW(kMainWindowClass, kMainWindowTitle);
    if (!hwnd_) return;
    ShowWindow(hwnd_, SW_SHOWNORMAL);
    GetWindowRect(hwnd_, &rect_);
    kavel1_ = GetDlgItem(hwnd_, kIdKavelPanel1);
    kavel2_ = GetDlgItem(hwnd_, kIdKavelPanel2);
    panel1_ = GetDlgItem(kavel1_, kIdPanel1);
    // Wait until the window is on screen: the panel's fill shows.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
      Pump(100);
      if (Take().At(FillPoint().x, FillPoint().y) == kKavelPanel1Fill) break;
    }
  }

  static void TearDownTestSuite() {
    delete view_;
    view_ = nullptr;
    DestroyWindow(backdrop_);
  }

  void SetUp() override {
    ASSERT_NE(hwnd_, nullptr);
    if (++tests_run_ > 1) {
      ShowWaiting(*view_);
      view_->SetClosePanelEnabled(true);
      Pump(100);
    }
    clicked_ = -1;
    close_clicks_ = 0;
  }

  // Lets the window thread run for `ms` milliseconds.
  static void Pump(int ms) { PumpFor(*view_, ms); }

  // Screen position of a point given in the main window's client area.
  static POINT Win(int x, int y) { return {rect_.left + x, rect_.top + y}; }
  // ... in KavelPanel1, KavelPanel2 or Panel1.
  static POINT InPanel1(int x, int y) { return Win(kKavelPanel1.left + x, kKavelPanel1.top + y); }
  static POINT InPanel2(int x, int y) { return Win(kKavelPanel2.left + x, kKavelPanel2.top + y); }
  static POINT InChoice(int x, int y) { return InPanel1(kPanel1.left + x, kPanel1.top + y); }
  // A spot of KavelPanel1 that only its fill covers.
  static POINT FillPoint() { return InPanel1(30, 110); }

  // The window with a margin of backdrop around it.
  static Shot Take() { return TakeAround(rect_); }

  void Save(const Shot& shot, const char* name) {
    std::filesystem::create_directories("screenshots");
    SavePng(shot, std::filesystem::path("screenshots") / (std::string(name) + ".png"));
  }

  void ExpectColour(const Shot& s, POINT p, uint32_t expected, const char* what) {
    EXPECT_EQ(Hex(s.At(p.x, p.y)), Hex(expected)) << what << " at " << p.x << "," << p.y;
  }

  // Whether the 28 x 28 animation box holds the same pixels in both shots.
  bool SameAnimationBox(const Shot& a, const Shot& b) const {
    for (int y = 0; y < kGIFAnimator1.height; ++y)
      for (int x = 0; x < kGIFAnimator1.width; ++x) {
        const POINT p = InPanel1(kGIFAnimator1.left + x, kGIFAnimator1.top + y);
        if (a.At(p.x, p.y) != b.At(p.x, p.y)) return false;
      }
    return true;
  }

  static inline HWND backdrop_ = nullptr;
  static inline MainView* view_ = nullptr;
  static inline HWND hwnd_ = nullptr, kavel1_ = nullptr, kavel2_ = nullptr, panel1_ = nullptr;
  static inline RECT rect_{};
  static inline int clicked_ = -1;
  static inline int close_clicks_ = 0;
  static inline int tests_run_ = 0;
};

TEST_F(WindowScreenshotTest, BorderlessTopmostCentredWindow) {
  EXPECT_EQ(rect_.right - rect_.left, kWindowWidth);
  EXPECT_EQ(rect_.bottom - rect_.top, kWindowHeight);
  EXPECT_EQ(rect_.left, (GetSystemMetrics(SM_CXSCREEN) - kWindowWidth) / 2);
  EXPECT_EQ(rect_.top, (GetSystemMetrics(SM_CYSCREEN) - kWindowHeight) / 2);
  EXPECT_EQ(WindowText(hwnd_), L"FrmSelvane");
  const LONG_PTR ex = GetWindowLongPtrW(hwnd_, GWL_EXSTYLE);
  EXPECT_TRUE(ex & WS_EX_TOPMOST);
  EXPECT_TRUE(ex & WS_EX_LAYERED);
  EXPECT_FALSE(GetWindowLongPtrW(hwnd_, GWL_STYLE) & (WS_CAPTION | WS_THICKFRAME));
}

TEST_F(WindowScreenshotTest, StartStateShowsTheStatusLineAndSeesThroughOutsideTheOutlines) {
  const Shot s = Take();
  Save(s, "created");
  EXPECT_EQ(WindowText(GetDlgItem(kavel1_, kIdLabel1)), L"Aguardando...");
  EXPECT_EQ(WindowText(GetDlgItem(kavel1_, kIdLabel3)), L"");
  EXPECT_EQ(WindowText(GetDlgItem(kavel1_, kIdLabel2)), L"Versão 1.0.0.0");
  EXPECT_FALSE(IsWindowVisible(panel1_));
  // Outside both rounded outlines the desktop shows through.
  ExpectColour(s, Win(0, 0), kBackdrop, "window corner left of KavelPanel1");
  ExpectColour(s, Win(3, 170), kBackdrop, "strip left of KavelPanel1");
  ExpectColour(s, InPanel1(4, 4), kBackdrop, "KavelPanel1's rounded top left corner");
  ExpectColour(s, InPanel1(4, kKavelPanel1.height - 5), kBackdrop, "rounded bottom left corner");
  ExpectColour(s, Win(260, kWindowHeight - 3), kBackdrop, "strip below KavelPanel1");
  ExpectColour(s, Win(kWindowWidth - 1, 170), kBackdrop, "strip right of KavelPanel1");
  // Just inside the rounding the panel's fill shows.
  ExpectColour(s, InPanel1(60, 2), kKavelPanel1Fill, "top edge inside the rounding");
  ExpectColour(s, FillPoint(), kKavelPanel1Fill, "KavelPanel1's fill");
  ExpectColour(s, InPanel1(kKavelPanel1.width - 30, kKavelPanel1.height - 60), kKavelPanel1Fill,
               "fill near the bottom right");
}

TEST_F(WindowScreenshotTest, ClosePictureSitsAtMinusOneOneOfKavelPanel2) {
  const Shot s = Take();
  // The uncovered top pixel row of KavelPanel2 is see-through.
  for (int x = 6; x < kKavelPanel2.width - 6; ++x) ExpectColour(s, InPanel2(x, 0), kBackdrop, "top row");
  // Every other pixel away from the rounded corners is the picture moved by (-1, 1).
  const RgbaImage picture = LoadPngResource(kResCloseButton);
  ASSERT_EQ(picture.width, 30);
  int mismatches = 0;
  for (int y = 1; y < kKavelPanel2.height - 5; ++y) {
    for (int x = 5; x < kKavelPanel2.width - 5; ++x) {
      const uint32_t expected = PixelOf(picture, x + 1, y - 1);
      const POINT at = InPanel2(x, y);
      if (s.At(at.x, at.y) != expected && ++mismatches <= 5)
        ADD_FAILURE() << "panel pixel " << x << "," << y << " is " << Hex(s.At(at.x, at.y)) << ", picture "
                      << Hex(expected);
    }
  }
  EXPECT_EQ(mismatches, 0);
}

TEST_F(WindowScreenshotTest, PushedCloseButtonMovesTwoPixelsAndReleasingOutsideDoesNotClick) {
  PostMessageW(kavel2_, WM_MOUSEMOVE, 0, MAKELPARAM(14, 14));
  PostMessageW(kavel2_, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(14, 14));
  Pump(150);
  const Shot pushed = Take();
  Save(pushed, "close_pushed");
  // The picture now lands at (1, 3): the leftmost column and the top three
  // rows of KavelPanel2 are see-through.
  for (int i = 6; i < kKavelPanel2.width - 6; ++i) {
    ExpectColour(pushed, InPanel2(0, i), kBackdrop, "leftmost column");
    for (int y = 0; y < 3; ++y) ExpectColour(pushed, InPanel2(i, y), kBackdrop, "top rows");
  }
  const RgbaImage picture = LoadPngResource(kResCloseButton);
  ExpectColour(pushed, InPanel2(15, 17), PixelOf(picture, 14, 14), "picture moved");
  PostMessageW(kavel2_, WM_LBUTTONUP, 0, MAKELPARAM(200, 200));
  Pump(150);
  EXPECT_EQ(close_clicks_, 0);
  const Shot released = Take();
  ExpectColour(released, InPanel2(0, 14), pushed.At(InPanel2(2, 14).x, InPanel2(2, 14).y), "back at (-1, 1)");
}

TEST_F(WindowScreenshotTest, ChoiceStateShowsTheTilesOverTheTitleAndStatus) {
  view_->SetTitleText("Title under the choice");
  view_->SetChoicePanelVisible(true);
  Pump(300);
  const Shot s = Take();
  Save(s, "choice");
  EXPECT_EQ(WindowText(GetDlgItem(panel1_, kIdLabel4)), L"Qual Vendra Vamos Instalar?");
  const struct {
    int id;
    Box box;
    const wchar_t* caption;
  } tiles[] = {{kIdPanel2, kPanel2, L"ECF"}, {kIdPanel3, kPanel3, L"NFC-e"}, {kIdPanel4, kPanel4, L"MEI"}};
  for (const auto& t : tiles) {
    SCOPED_TRACE(t.id);
    EXPECT_EQ(WindowText(GetDlgItem(panel1_, t.id)), t.caption);
    ExpectColour(s, InChoice(t.box.left + 2, t.box.top + 2), kTileFill, "tile corner");
    ExpectColour(s, InChoice(t.box.Right() - 3, t.box.Bottom() - 3), kTileFill, "tile corner");
    // The caption is drawn in the middle of the tile.
    int caption_pixels = 0;
    for (int y = t.box.top + 10; y < t.box.Bottom() - 10; ++y)
      for (int x = t.box.left + 20; x < t.box.Right() - 20; ++x) {
        const POINT p = InChoice(x, y);
        caption_pixels += s.At(p.x, p.y) != kTileFill;
      }
    EXPECT_GT(caption_pixels, 20);
  }
  // Panel1 covers the title line: its area shows the plain fill.
  ExpectColour(s, InPanel1(kLabel3.left + kLabel3.width / 2, kLabel3.top + 12), kPanel1Fill, "covered title");
  // The question's right edge is fixed at x = 330 of Panel1.
  RECT q;
  GetWindowRect(GetDlgItem(panel1_, kIdLabel4), &q);
  EXPECT_EQ(q.right, InChoice(kLabel4Right, 0).x);
}

TEST_F(WindowScreenshotTest, StatusTextWiderThanItsBoxStaysCentredAndIsCutAtBothEdges) {
  view_->SetStatusText(std::string(120, 'W') + "\nsecond line");
  Pump(150);
  const Shot s = Take();
  auto text_in_column = [&](int x) {
    for (int y = 0; y < kLabel1.height; ++y) {
      const POINT p = InPanel1(x, kLabel1.top + y);
      if (s.At(p.x, p.y) != kKavelPanel1Fill) return true;
    }
    return false;
  };
  EXPECT_TRUE(text_in_column(kLabel1.left)) << "text reaches the left edge";
  EXPECT_TRUE(text_in_column(kLabel1.Right() - 1)) << "text reaches the right edge";
  EXPECT_FALSE(text_in_column(kLabel1.left - 1)) << "nothing drawn left of the box";
  EXPECT_FALSE(text_in_column(kLabel1.Right())) << "nothing drawn right of the box";
  // The second line starts below the box's 32 pixels: nothing shows under it.
  for (int x = kLabel1.left; x < kLabel1.Right(); ++x) {
    const POINT p = InPanel1(x, kLabel1.Bottom() + 1);
    ASSERT_EQ(s.At(p.x, p.y), kKavelPanel1Fill) << "below the box at " << x;
  }
}

TEST_F(WindowScreenshotTest, AmpersandUnderlinesTheNextCharacterAndTwoShowOne) {
  struct Ink {
    int pixels = 0, left = 1 << 30, right = -1;
  };
  auto ink_of = [&](const char* text) {
    view_->SetStatusText(text);
    Pump(100);
    const Shot s = Take();
    Ink ink;
    for (int y = 0; y < kLabel1.height; ++y)
      for (int x = 0; x < kLabel1.width; ++x) {
        const POINT p = InPanel1(kLabel1.left + x, kLabel1.top + y);
        if (s.At(p.x, p.y) == kKavelPanel1Fill) continue;
        ++ink.pixels;
        ink.left = std::min(ink.left, x);
        ink.right = std::max(ink.right, x);
      }
    return ink;
  };
  const Ink plain = ink_of("HH");
  const Ink underlined = ink_of("H&H");
  const Ink doubled = ink_of("H&&H");
  EXPECT_GT(underlined.pixels, plain.pixels) << "the second H is underlined";
  EXPECT_LE(underlined.right - underlined.left, plain.right - plain.left + 3) << "no '&' is drawn";
  EXPECT_GT(doubled.right - doubled.left, plain.right - plain.left + 6) << "'&&' shows one '&'";
}

TEST_F(WindowScreenshotTest, TilesReactToClicks) {
  view_->SetChoicePanelVisible(true);
  Pump(100);
  HWND tile = GetDlgItem(panel1_, kIdPanel3);
  PostClick(tile, 10, 10);
  Pump(100);
  EXPECT_EQ(clicked_, static_cast<int>(Edition::kNFCE));
}

TEST_F(WindowScreenshotTest, RunningStateAnimatesAndBlocksTheCloseButton) {
  view_->SetTitleText("Atualização Kavel Vendra-MEI");
  view_->SetStatusText("Atualizando... 42%");
  view_->SetAnimation(true);
  view_->SetClosePanelEnabled(false);
  Pump(150);
  const Shot a = Take();
  Pump(200);
  const Shot b = Take();
  Save(a, "running");
  EXPECT_FALSE(SameAnimationBox(a, b)) << "the animation turns";
  EXPECT_EQ(WindowText(GetDlgItem(kavel1_, kIdLabel1)), L"Atualizando... 42%");
  // The disabled panel takes no click and the button is not drawn dimmed.
  const POINT c = InPanel2(14, 14);
  PostClick(kavel2_, 14, 14);
  Pump(100);
  EXPECT_EQ(close_clicks_, 0);
  const Shot after = Take();
  EXPECT_EQ(Hex(after.At(c.x, c.y)), Hex(a.At(c.x, c.y)));
  const RgbaImage picture = LoadPngResource(kResCloseButton);
  ExpectColour(after, InPanel2(2, 13), PixelOf(picture, 3, 12), "undimmed picture");
}

TEST_F(WindowScreenshotTest, FailedStateIsStillAndTheCloseButtonWorks) {
  view_->SetTitleText("Instalação Kavel Vendra-NFCe");
  view_->SetAnimation(true);
  view_->SetClosePanelEnabled(false);
  Pump(150);
  view_->SetStatusText("Não Foi Possível Conectar...");
  view_->SetAnimation(false);
  view_->SetClosePanelEnabled(true);
  Pump(150);
  const Shot a = Take();
  Pump(200);
  const Shot b = Take();
  Save(a, "failed");
  EXPECT_TRUE(SameAnimationBox(a, b)) << "hidden, the animation stays still";
  const POINT mid = InPanel1(kGIFAnimator1.left + 14, kGIFAnimator1.top + 14);
  ExpectColour(a, mid, kKavelPanel1Fill, "hidden animation shows the fill");
  PostClick(kavel2_, 14, 14);
  Pump(100);
  EXPECT_EQ(close_clicks_, 1);
}

// TKavelPanel: the outline is cut once, when Arredondamento is assigned.
class KavelPanelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    parent_ = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 300, 300, nullptr, nullptr,
                              GetModuleHandleW(nullptr), nullptr);
    panel_ = std::make_unique<PanelWindow>(parent_, 1, kKavelPanelClass, Box{10, 10, 100, 60}, RGB(0, 0, 0));
  }
  void TearDown() override {
    panel_.reset();
    DestroyWindow(parent_);
  }
  RECT RegionBox() {
    HRGN rgn = CreateRectRgn(0, 0, 0, 0);
    RECT box{};
    type_ = GetWindowRgn(panel_->Hwnd(), rgn);
    GetRgnBox(rgn, &box);
    DeleteObject(rgn);
    return box;
  }
  // Whether the outline spans w x h: a rounded-rectangle region leaves out
  // at most the last column and row.
  bool OutlineSpans(int w, int h) {
    const RECT box = RegionBox();
    return box.left == 0 && box.top == 0 && box.right >= w - 1 && box.right <= w && box.bottom >= h - 1 &&
           box.bottom <= h;
  }
  bool InOutline(int x, int y) {
    HRGN rgn = CreateRectRgn(0, 0, 0, 0);
    GetWindowRgn(panel_->Hwnd(), rgn);
    const bool in = PtInRegion(rgn, x, y);
    DeleteObject(rgn);
    return in;
  }
  HWND parent_ = nullptr;
  std::unique_ptr<PanelWindow> panel_;
  int type_ = ERROR;
};

TEST_F(KavelPanelTest, NoOutlineUntilArredondamentoIsAssigned) {
  RegionBox();
  EXPECT_EQ(type_, ERROR);
  EXPECT_TRUE(panel_->BevelRaised()) << "a new panel has the standard raised bevel";
}

TEST_F(KavelPanelTest, AssigningTurnsTheBevelOffEvenWithTheSameValue) {
  panel_->SetArredondamento(0);
  EXPECT_FALSE(panel_->BevelRaised());
  panel_->SetBevel(true);
  panel_->SetArredondamento(0);
  EXPECT_FALSE(panel_->BevelRaised());
}

TEST_F(KavelPanelTest, ZeroStillSetsARectangularOutline) {
  panel_->SetArredondamento(0);
  EXPECT_TRUE(OutlineSpans(100, 60));
  EXPECT_EQ(type_, SIMPLEREGION);
}

TEST_F(KavelPanelTest, RoundedCornersAreOutside) {
  panel_->SetArredondamento(20);
  EXPECT_EQ(panel_->Arredondamento(), 20);
  EXPECT_FALSE(InOutline(0, 0));
  EXPECT_FALSE(InOutline(99, 59));
  EXPECT_TRUE(InOutline(50, 0));
  EXPECT_TRUE(InOutline(50, 30));
}

TEST_F(KavelPanelTest, EnlargingKeepsTheOldOutlineUntilReassigned) {
  panel_->SetArredondamento(10);
  SetWindowPos(panel_->Hwnd(), nullptr, 10, 10, 200, 120, SWP_NOZORDER | SWP_NOACTIVATE);
  EXPECT_TRUE(OutlineSpans(100, 60));
  EXPECT_FALSE(InOutline(150, 60));
  panel_->SetArredondamento(10);
  EXPECT_TRUE(OutlineSpans(200, 120));
  EXPECT_TRUE(InOutline(150, 60));
}

// MainView's message plumbing as the controller uses it.
TEST(MainViewLoopTest, WorkerMessagesArriveInOrderAndTerminateEndsEveryLoop) {
  auto view = CreateMainWindow();
  int creates = 0;
  MainViewEvents events;
  events.form_create = [&] { ++creates; };
  view->SetEvents(events);
  view->SetEvents(events);
  EXPECT_EQ(creates, 1) << "FormCreate runs once, right after creation";

  std::vector<std::string> seen;
  view->SetMessageHandler([&](const UiMessage& m) {
    if (const auto* s = std::get_if<SetStatusMsg>(&m)) seen.push_back(s->text);
  });
  std::thread worker([&] {
    for (int i = 0; i < 200; ++i) view->Post(SetStatusMsg{std::to_string(i)});
  });
  worker.join();
  EXPECT_TRUE(view->ProcessMessages());
  ASSERT_EQ(seen.size(), 200u);
  for (int i = 0; i < 200; ++i) EXPECT_EQ(seen[i], std::to_string(i));

  view->Terminate();
  EXPECT_FALSE(view->ProcessMessages());
  EXPECT_FALSE(view->ProcessMessages()) << "stays told to end";
  view->Post(SetStatusMsg{"late"});
  EXPECT_EQ(view->RunMessageLoop(), 0) << "the main loop ends at once";
}

}  // namespace
}  // namespace selvane::ui
