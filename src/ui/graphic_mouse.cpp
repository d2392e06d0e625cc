#include "ui/graphic_mouse.h"

namespace selvane::ui {

bool GraphicMouse::Inside(int x, int y) const {
  return button_->Visible() && button_->Contains(x, y);
}

void GraphicMouse::UpdateOver(bool inside) {
  if (inside == over_) return;
  over_ = inside;
  if (inside)
    button_->CMMouseEnter();
  else
    button_->CMMouseLeave();
}

bool GraphicMouse::Press(MouseButton b, int x, int y) {
  if (!captured_) {
    UpdateOver(Inside(x, y));
    if (!over_ || !button_->Enabled()) return false;
    if (b == MouseButton::kLeft) captured_ = true;
  }
  button_->MouseDown(b, x - button_->Left(), y - button_->Top());
  return captured_;
}

bool GraphicMouse::Release(MouseButton b, int x, int y) {
  if (!captured_) {
    if (Inside(x, y) && button_->Enabled()) button_->MouseUp(b, x - button_->Left(), y - button_->Top());
    return false;
  }
  if (b != MouseButton::kLeft) {
    button_->MouseUp(b, x - button_->Left(), y - button_->Top());
    return true;
  }
  captured_ = false;
  if (Inside(x, y)) button_->Click();
  button_->MouseUp(b, x - button_->Left(), y - button_->Top());
  return false;
}

void GraphicMouse::Move(int x, int y) {
  if (!captured_) {
    UpdateOver(Inside(x, y));
    if (!over_ || !button_->Enabled()) return;
  }
  button_->MouseMove(x - button_->Left(), y - button_->Top());
}

void GraphicMouse::LeaveWindow() {
  if (!captured_) UpdateOver(false);
}

void GraphicMouse::CaptureLost() {
  if (!captured_) return;
  captured_ = false;
  // The release never comes: end the press as a release outside would.
  button_->MouseUp(MouseButton::kLeft, -1, -1);
}

}  // namespace selvane::ui
