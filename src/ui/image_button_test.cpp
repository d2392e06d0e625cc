#include "ui/image_button.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "ui/graphic_mouse.h"

namespace selvane::ui {
namespace {

RgbaImage Solid(int w, int h, uint8_t alpha, bool palette = false) {
  RgbaImage img;
  img.width = w;
  img.height = h;
  img.palette = palette;
  img.rgba.assign(static_cast<size_t>(w) * h * 4, 200);
  for (size_t i = 3; i < img.rgba.size(); i += 4) img.rgba[i] = alpha;
  return img;
}

struct LayoutCase {
  const char* name;
  TImageButtonLayout layout;
  int w, h, iw, ih, tw, th;
  bool caption, pushed;
  Point image, text;
};

TEST(ImageButtonLayoutTest, PlacesPictureAndCaption) {
  using L = TImageButtonLayout;
  const LayoutCase cases[] = {
      {"close button", L::pbsImageAbove, 49, 49, 30, 30, 0, 0, false, false, {9, 9}, {24, 9 + 30}},
      {"close button pushed", L::pbsImageAbove, 49, 49, 30, 30, 0, 0, false, true, {11, 11}, {26, 41}},
      {"above", L::pbsImageAbove, 100, 60, 20, 20, 40, 14, true, false, {40, 11}, {30, 35}},
      {"above pushed", L::pbsImageAbove, 100, 60, 20, 20, 40, 14, true, true, {42, 13}, {32, 37}},
      {"below", L::pbsImageBellow, 100, 60, 20, 20, 40, 14, true, false, {40, 25}, {30, 11}},
      {"left", L::pbsImageLeft, 100, 60, 20, 20, 40, 14, true, false, {20, 18}, {45, 23}},
      // Sideways layouts move only down when pushed.
      {"left pushed", L::pbsImageLeft, 100, 60, 20, 20, 40, 14, true, true, {20, 20}, {45, 25}},
      {"right", L::pbsImageRight, 100, 60, 20, 20, 40, 14, true, false, {65, 18}, {20, 23}},
      {"right pushed", L::pbsImageRight, 100, 60, 20, 20, 40, 14, true, true, {65, 20}, {20, 25}},
      // Division rounds toward zero when the picture is larger than the button.
      {"oversized", L::pbsImageAbove, 10, 10, 15, 15, 0, 0, false, false, {-2, -2}, {5, -2 + 15}},
      {"hidden BtnFechar", L::pbsImageAbove, 40, 40, 48, 48, 0, 0, false, false, {-4, -4}, {20, 44}},
  };
  for (const LayoutCase& c : cases) {
    SCOPED_TRACE(c.name);
    const ButtonLayoutResult r = ComputeButtonLayout(c.layout, c.w, c.h, c.iw, c.ih, c.tw, c.th, c.caption, c.pushed);
    EXPECT_EQ(r.image_pos, c.image);
    EXPECT_EQ(r.text_pos, c.text);
  }
}

TEST(ImageButtonDimTest, AlphaDividedByThreeExceptPalettePictures) {
  RgbaImage img = Solid(6, 1, 0);
  const uint8_t alphas[] = {0, 1, 2, 3, 128, 255};
  for (int i = 0; i < 6; ++i) img.Pixel(i, 0)[3] = alphas[i];
  const RgbaImage dim = MakeImageHalfTransparent(img);
  const uint8_t expected[] = {0, 0, 0, 1, 42, 85};
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(dim.Pixel(i, 0)[3], expected[i]) << i;
    EXPECT_EQ(dim.Pixel(i, 0)[0], 200) << "colour kept";
  }
  img.palette = true;
  EXPECT_EQ(MakeImageHalfTransparent(img).rgba, img.rgba);
}

struct PictureCase {
  const char* name;
  bool down, over, has_down, has_over, enabled;
  const char* expected;  // "normal", "down", "over", "disabled"
};

TEST(ImageButtonPictureTest, ChoosesTheFirstPictureThatApplies) {
  const PictureCase cases[] = {
      {"idle", false, false, true, true, true, "normal"},
      {"hover", false, true, true, true, true, "over"},
      {"hover without over picture", false, true, true, false, true, "normal"},
      {"pushed", true, true, true, true, true, "down"},
      {"pushed without down picture shows over", true, true, false, true, true, "over"},
      {"pushed with neither", true, true, false, false, true, "normal"},
      {"down but pointer outside", true, false, true, true, true, "normal"},
      {"disabled", false, false, true, true, false, "disabled"},
      {"disabled never shows over", false, true, true, true, false, "disabled"},
  };
  for (const PictureCase& c : cases) {
    SCOPED_TRACE(c.name);
    TImageButton b;
    b.SetBounds(0, 0, 20, 20);
    const RgbaImage normal = Solid(1, 1, 90), down = Solid(2, 2, 255), over = Solid(3, 3, 255);
    b.SetImageNormal(normal);
    if (c.has_down) b.SetImageDown(down);
    if (c.has_over) b.SetImageOver(over);
    if (c.over) b.CMMouseEnter();
    if (c.down) b.MouseDown(MouseButton::kLeft, 1, 1);
    if (!c.over) b.CMMouseLeave();
    if (!c.enabled) b.SetEnabled(false);
    const RgbaImage& p = b.PictureToPaint();
    const std::string got = &p == &b.ImageDisabled() ? "disabled"
                            : p.width == 1          ? "normal"
                            : p.width == 2          ? "down"
                                                    : "over";
    EXPECT_EQ(got, c.expected);
  }
}

TEST(ImageButtonPictureTest, DisablingShowsAThirdOfTheOpacity) {
  TImageButton b;
  b.SetImageNormal(Solid(30, 30, 255));
  b.SetEnabled(false);
  EXPECT_EQ(b.ButtonState(), TImageButtonState::pbsDisabled);
  EXPECT_EQ(b.PictureToPaint().Pixel(5, 5)[3], 85);
  b.SetEnabled(true);
  EXPECT_EQ(b.ButtonState(), TImageButtonState::pbsNormal);
  EXPECT_EQ(b.PictureToPaint().Pixel(5, 5)[3], 255);
}

struct FrameCase {
  const char* name;
  TImageButtonStyle style;
  TImageButtonState state;
  bool over;
  ButtonFrame expected;
};

TEST(ImageButtonFrameTest, FrameFollowsStyleStateAndHover) {
  using S = TImageButtonStyle;
  using St = TImageButtonState;
  const FrameCase cases[] = {
      {"default up", S::pbsDefault, St::pbsNormal, false, ButtonFrame::kFaceUp},
      {"default pushed", S::pbsDefault, St::pbsDown, true, ButtonFrame::kFaceDown},
      {"default down outside", S::pbsDefault, St::pbsDown, false, ButtonFrame::kFaceUp},
      {"flat idle", S::pbsFlat, St::pbsNormal, false, ButtonFrame::kNone},
      {"flat hover", S::pbsFlat, St::pbsNormal, true, ButtonFrame::kRaised},
      {"flat pushed", S::pbsFlat, St::pbsDown, true, ButtonFrame::kSunken},
      {"flat down outside", S::pbsFlat, St::pbsDown, false, ButtonFrame::kRaised},
      {"flat disabled", S::pbsFlat, St::pbsDisabled, true, ButtonFrame::kNone},
      {"no frame pushed", S::pbsNoFrame, St::pbsDown, true, ButtonFrame::kNone},
  };
  for (const FrameCase& c : cases) {
    SCOPED_TRACE(c.name);
    TImageButton b;
    b.SetButtonStyle(c.style);
    if (c.over) b.CMMouseEnter();
    b.SetButtonState(c.state);
    EXPECT_EQ(b.Frame(), c.expected);
  }
}

// Records what the button tells its owner, in order.
struct Recorder : ButtonHost {
  std::vector<std::string> log;
  void RepaintNow() override { ++repaints; }
  int repaints = 0;
  void Attach(TImageButton& b) {
    b.SetHost(this);
    b.OnClick = [this] { log.push_back("click"); };
    b.OnMouseDown = [this](MouseButton, int, int) { log.push_back("down"); };
    b.OnMouseUp = [this](MouseButton, int, int) { log.push_back("up"); };
    b.OnMouseEnter = [this] { log.push_back("enter"); };
    b.OnMouseExit = [this] { log.push_back("exit"); };
  }
};

class GraphicMouseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // ImageButton3 in KavelPanel2: 49 x 49 at (-10, -8).
    button_.SetBounds(-10, -8, 49, 49);
    button_.SetImageNormal(Solid(30, 30, 255));
    rec_.Attach(button_);
  }
  TImageButton button_;
  Recorder rec_;
  GraphicMouse mouse_{&button_};
};

TEST_F(GraphicMouseTest, ReleaseInsideClicksAfterDrawingReleased) {
  mouse_.Move(14, 14);
  EXPECT_TRUE(mouse_.Press(MouseButton::kLeft, 14, 14));
  EXPECT_TRUE(button_.Pushed());
  EXPECT_EQ(button_.Layout(0, 0).image_pos, (Point{11, 11}));
  bool released_at_click = false;
  button_.OnClick = [&] {
    released_at_click = button_.ButtonState() == TImageButtonState::pbsNormal;
    rec_.log.push_back("click");
  };
  EXPECT_FALSE(mouse_.Release(MouseButton::kLeft, 15, 15));
  EXPECT_TRUE(released_at_click);
  EXPECT_EQ(rec_.log, (std::vector<std::string>{"enter", "down", "click", "up"}));
  EXPECT_EQ(button_.ButtonState(), TImageButtonState::pbsNormal);
  EXPECT_EQ(button_.Layout(0, 0).image_pos, (Point{9, 9}));
}

TEST_F(GraphicMouseTest, ReleaseOutsideOnlyEndsThePress) {
  mouse_.Move(14, 14);
  mouse_.Press(MouseButton::kLeft, 14, 14);
  // Captured: moving out sends no leave, the button stays drawn pushed.
  mouse_.Move(200, 200);
  EXPECT_TRUE(button_.IsMouseOver());
  EXPECT_TRUE(button_.Pushed());
  EXPECT_FALSE(mouse_.Release(MouseButton::kLeft, 200, 200));
  EXPECT_EQ(rec_.log, (std::vector<std::string>{"enter", "down", "up"}));
  EXPECT_EQ(button_.ButtonState(), TImageButtonState::pbsNormal);
  // The leave comes with the next pointer movement.
  mouse_.Move(201, 201);
  EXPECT_FALSE(button_.IsMouseOver());
  EXPECT_EQ(rec_.log.back(), "exit");
}

TEST_F(GraphicMouseTest, RightAndMiddlePressChangeNoState) {
  for (MouseButton b : {MouseButton::kRight, MouseButton::kMiddle}) {
    EXPECT_FALSE(mouse_.Press(b, 5, 5));
    EXPECT_EQ(button_.ButtonState(), TImageButtonState::pbsNormal);
    EXPECT_FALSE(mouse_.Release(b, 5, 5));
  }
  EXPECT_EQ(std::count(rec_.log.begin(), rec_.log.end(), "click"), 0);
}

TEST_F(GraphicMouseTest, PressOutsideTheButtonIsNotItsPress) {
  EXPECT_FALSE(mouse_.Press(MouseButton::kLeft, 45, 45));
  EXPECT_EQ(button_.ButtonState(), TImageButtonState::pbsNormal);
  EXPECT_FALSE(mouse_.Release(MouseButton::kLeft, 5, 5));
  EXPECT_EQ(std::count(rec_.log.begin(), rec_.log.end(), "down"), 0);
  EXPECT_EQ(std::count(rec_.log.begin(), rec_.log.end(), "click"), 0);
}

TEST_F(GraphicMouseTest, DisabledButtonKeepsItsHoverFlagThroughEnterAndLeave) {
  mouse_.Move(5, 5);
  ASSERT_TRUE(button_.IsMouseOver());
  button_.SetEnabled(false);
  mouse_.Move(200, 200);  // leave: ignored while disabled
  EXPECT_TRUE(button_.IsMouseOver());
  EXPECT_FALSE(mouse_.Press(MouseButton::kLeft, 5, 5));
  EXPECT_EQ(button_.ButtonState(), TImageButtonState::pbsDisabled);
  button_.SetEnabled(true);
  EXPECT_EQ(button_.ButtonState(), TImageButtonState::pbsNormal);
}

TEST_F(GraphicMouseTest, LostCaptureEndsThePressWithoutClick) {
  mouse_.Move(5, 5);
  mouse_.Press(MouseButton::kLeft, 5, 5);
  mouse_.CaptureLost();
  EXPECT_EQ(button_.ButtonState(), TImageButtonState::pbsNormal);
  EXPECT_FALSE(mouse_.Captured());
  EXPECT_EQ(std::count(rec_.log.begin(), rec_.log.end(), "click"), 0);
}

TEST_F(GraphicMouseTest, EveryStateChangeRepaints) {
  const int before = rec_.repaints;
  mouse_.Move(5, 5);
  mouse_.Press(MouseButton::kLeft, 5, 5);
  mouse_.Release(MouseButton::kLeft, 5, 5);
  EXPECT_GE(rec_.repaints - before, 3);  // enter, down, released
}

}  // namespace
}  // namespace selvane::ui
