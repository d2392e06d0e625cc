#pragma once
// TImageButton: a windowless button that shows a picture with an optional
// caption, a pushed and a dimmed look, and delivers a click only when the left
// button is released inside it. This is the portable state machine and
// geometry; the window that hosts it paints it and feeds it mouse events
// (graphic_mouse.h).

#include <functional>
#include <string>

#include "ui/control_bounds.h"
#include "ui/rgba_image.h"

namespace selvane::ui {

enum class TImageButtonStyle { pbsDefault, pbsFlat, pbsNoFrame };
enum class TImageButtonLayout { pbsImageAbove, pbsImageBellow, pbsImageLeft, pbsImageRight };
enum class TImageButtonState { pbsNormal, pbsDown, pbsDisabled };
enum class MouseButton { kLeft, kRight, kMiddle };

struct Point {
  int x = 0, y = 0;
  friend bool operator==(const Point&, const Point&) = default;
};

// What frame the style asks for, drawn on the outermost pixel ring.
enum class ButtonFrame {
  kNone,
  kFaceUp,    // pbsDefault, released
  kFaceDown,  // pbsDefault, pushed
  kRaised,    // pbsFlat: highlight top-left, shadow bottom-right
  kSunken,    // pbsFlat: shadow top-left, highlight bottom-right
};

struct ButtonLayoutResult {
  Point image_pos;
  Point text_pos;
};

// Picture and caption placement for a picture of iw x ih and a caption of
// tw x th (0 x 0 when empty) in a button of w x h, pushed or not.
ButtonLayoutResult ComputeButtonLayout(TImageButtonLayout layout, int w, int h, int iw, int ih, int tw,
                                       int th, bool has_caption, bool pushed);

// The dimmed copy: a third of the opacity; palette pictures stay as they are.
RgbaImage MakeImageHalfTransparent(const RgbaImage& source);

// Paints and measures for the button, on the window thread.
class ButtonHost {
 public:
  virtual ~ButtonHost() = default;
  // Invalidates the button's area and paints it before returning.
  virtual void RepaintNow() = 0;
};

class TImageButton : public ControlBounds {
 public:
  explicit TImageButton(ButtonHost* host = nullptr) : ControlBounds(23, 23), host_(host) {}

  void SetHost(ButtonHost* host) { host_ = host; }

  void SetButtonLayout(TImageButtonLayout v);
  void SetButtonStyle(TImageButtonStyle v);
  void SetCaption(const std::string& v);
  void SetButtonState(TImageButtonState v);
  void SetImageNormal(const RgbaImage& v);
  void SetImageDown(const RgbaImage& v);
  void SetImageOver(const RgbaImage& v);
  void SetEnabled(bool enabled);  // CMEnabledChanged
  void SetVisible(bool visible) { visible_ = visible; }

  TImageButtonLayout ButtonLayout() const { return FButtonLayout; }
  TImageButtonStyle ButtonStyle() const { return fButtonStyle; }
  const std::string& Caption() const { return FCaption; }
  TImageButtonState ButtonState() const { return FButtonState; }
  bool IsMouseOver() const { return fMouseOverControl; }
  bool Enabled() const { return enabled_; }
  bool Visible() const { return visible_; }
  const RgbaImage& ImageNormal() const { return fImageNormal; }
  const RgbaImage& ImageDisabled() const { return fImageDisabled; }

  // Mouse notifications in client coordinates.
  void MouseDown(MouseButton button, int x, int y);
  void MouseUp(MouseButton button, int x, int y);
  void Click();
  void MouseMove(int x, int y);
  void CMMouseEnter();
  void CMMouseLeave();

  // Painting decisions.
  bool Pushed() const;
  const RgbaImage& PictureToPaint() const;
  ButtonFrame Frame() const;
  // Placement of the picture returned by PictureToPaint for a caption of tw x th.
  ButtonLayoutResult Layout(int tw, int th) const;

  std::function<void()> OnClick;
  std::function<void(MouseButton, int, int)> OnMouseDown;
  std::function<void(MouseButton, int, int)> OnMouseUp;
  std::function<void(int, int)> OnMouseMove;
  std::function<void()> OnMouseEnter;
  std::function<void()> OnMouseExit;

 private:
  void Repaint();

  ButtonHost* host_;
  bool enabled_ = true;
  bool visible_ = true;

  TImageButtonStyle fButtonStyle = TImageButtonStyle::pbsDefault;
  bool fMouseOverControl = false;
  std::string FCaption;
  TImageButtonLayout FButtonLayout = TImageButtonLayout::pbsImageAbove;
  TImageButtonState FButtonState = TImageButtonState::pbsNormal;
  RgbaImage FImageDown;
  RgbaImage fImageNormal;
  RgbaImage fImageDisabled;
  RgbaImage fImageOver;
};

}  // namespace selvane::ui
