#pragma once
// Mouse delivery to a windowless button inside its host window, the way the
// toolkit does it: a left press captures the mouse for the button; the release
// calls Click (only if it lies inside) and then MouseUp; enter and leave are
// derived from pointer moves and are held back while the mouse is captured.

#include "ui/image_button.h"

namespace selvane::ui {

class GraphicMouse {
 public:
  explicit GraphicMouse(TImageButton* button) : button_(button) {}

  // Host-window client coordinates. Each returns whether the host must hold
  // (true) or release (false) the platform mouse capture afterwards.
  bool Press(MouseButton b, int x, int y);
  bool Release(MouseButton b, int x, int y);
  void Move(int x, int y);
  // The pointer left the host window.
  void LeaveWindow();
  // The platform took the capture away (another window grabbed it).
  void CaptureLost();

  bool Captured() const { return captured_; }
  bool Over() const { return over_; }
  bool Inside(int x, int y) const;

 private:
  void UpdateOver(bool inside);

  TImageButton* button_;
  bool captured_ = false;
  bool over_ = false;
};

}  // namespace selvane::ui
