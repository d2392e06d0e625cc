#include "ui/image_button.h"

namespace selvane::ui {

ButtonLayoutResult ComputeButtonLayout(TImageButtonLayout layout, int w, int h, int iw, int ih, int tw,
                                       int th, bool has_caption, bool pushed) {
  const int o = pushed ? 2 : 0;
  if (has_caption) ih += 4;  // gap between picture and caption
  ButtonLayoutResult r;
  r.image_pos.x = (w - iw) / 2 + o;
  r.text_pos.x = (w - tw) / 2 + o;
  r.text_pos.y = (h - th) / 2;
  r.image_pos.y = (h - ih) / 2;
  switch (layout) {
    case TImageButtonLayout::pbsImageAbove:
      r.image_pos.y = (h - ih - th) / 2;
      r.text_pos.y = r.image_pos.y + ih;
      break;
    case TImageButtonLayout::pbsImageBellow:
      r.text_pos.y = (h - ih - th) / 2;
      r.image_pos.y = r.text_pos.y + th;
      break;
    case TImageButtonLayout::pbsImageLeft:
      r.image_pos.x = (w - iw - tw) / 2;
      r.text_pos.x = r.image_pos.x + iw + 5;
      break;
    case TImageButtonLayout::pbsImageRight:
      r.text_pos.x = (w - iw - tw) / 2;
      r.image_pos.x = r.text_pos.x + tw + 5;
      break;
  }
  r.image_pos.y += o;
  r.text_pos.y += o;
  return r;
}

RgbaImage MakeImageHalfTransparent(const RgbaImage& source) {
  RgbaImage dest = source;
  if (dest.palette) return dest;  // a palette picture keeps its normal look
  for (size_t i = 3; i < dest.rgba.size(); i += 4) dest.rgba[i] = static_cast<uint8_t>(dest.rgba[i] / 3);
  return dest;
}

void TImageButton::Repaint() {
  if (host_) host_->RepaintNow();
}

void TImageButton::SetButtonLayout(TImageButtonLayout v) {
  FButtonLayout = v;
  Repaint();
}

void TImageButton::SetButtonStyle(TImageButtonStyle v) {
  fButtonStyle = v;
  Repaint();
}

void TImageButton::SetCaption(const std::string& v) {
  FCaption = v;
  Repaint();
}

void TImageButton::SetButtonState(TImageButtonState v) {
  FButtonState = v;
  Repaint();
}

void TImageButton::SetImageNormal(const RgbaImage& v) {
  fImageNormal = v;
  fImageDisabled = MakeImageHalfTransparent(fImageNormal);
  Repaint();
}

void TImageButton::SetImageDown(const RgbaImage& v) {
  FImageDown = v;
  Repaint();
}

void TImageButton::SetImageOver(const RgbaImage& v) {
  fImageOver = v;
  Repaint();
}

void TImageButton::SetEnabled(bool enabled) {
  enabled_ = enabled;
  if (!enabled) fImageDisabled = MakeImageHalfTransparent(fImageNormal);
  SetButtonState(enabled ? TImageButtonState::pbsNormal : TImageButtonState::pbsDisabled);
}

void TImageButton::MouseDown(MouseButton button, int x, int y) {
  if (FButtonState == TImageButtonState::pbsNormal && button == MouseButton::kLeft)
    SetButtonState(TImageButtonState::pbsDown);
  if (OnMouseDown) OnMouseDown(button, x, y);
}

void TImageButton::MouseUp(MouseButton button, int x, int y) {
  if (FButtonState == TImageButtonState::pbsDown) SetButtonState(TImageButtonState::pbsNormal);
  if (OnMouseUp) OnMouseUp(button, x, y);
}

void TImageButton::Click() {
  if (FButtonState == TImageButtonState::pbsDown) SetButtonState(TImageButtonState::pbsNormal);
  if (OnClick) OnClick();
}

void TImageButton::MouseMove(int x, int y) {
  if (x >= 0 && x < width_ && y >= 0 && y < height_ && !fMouseOverControl &&
      FButtonState != TImageButtonState::pbsDown) {
    fMouseOverControl = true;
    Repaint();
  }
  if (OnMouseMove) OnMouseMove(x, y);
}

void TImageButton::CMMouseEnter() {
  if (!enabled_) return;
  if (OnMouseEnter) OnMouseEnter();
  fMouseOverControl = true;
  Repaint();
}

void TImageButton::CMMouseLeave() {
  if (!enabled_) return;
  if (OnMouseExit) OnMouseExit();
  fMouseOverControl = false;
  Repaint();
}

bool TImageButton::Pushed() const {
  return FButtonState == TImageButtonState::pbsDown && fMouseOverControl;
}

const RgbaImage& TImageButton::PictureToPaint() const {
  if (Pushed() && !FImageDown.Empty()) return FImageDown;
  if (fMouseOverControl && !fImageOver.Empty() && enabled_) return fImageOver;
  if (FButtonState == TImageButtonState::pbsDisabled && !fImageDisabled.Empty()) return fImageDisabled;
  return fImageNormal;
}

ButtonFrame TImageButton::Frame() const {
  switch (fButtonStyle) {
    case TImageButtonStyle::pbsDefault:
      return Pushed() ? ButtonFrame::kFaceDown : ButtonFrame::kFaceUp;
    case TImageButtonStyle::pbsFlat:
      if (FButtonState == TImageButtonState::pbsDisabled) return ButtonFrame::kNone;
      if (Pushed()) return ButtonFrame::kSunken;
      if (fMouseOverControl || FButtonState == TImageButtonState::pbsDown) return ButtonFrame::kRaised;
      return ButtonFrame::kNone;
    case TImageButtonStyle::pbsNoFrame:
      break;
  }
  return ButtonFrame::kNone;
}

ButtonLayoutResult TImageButton::Layout(int tw, int th) const {
  const RgbaImage& p = PictureToPaint();
  const bool has_caption = !FCaption.empty();
  if (!has_caption) tw = th = 0;
  return ComputeButtonLayout(FButtonLayout, width_, height_, p.Empty() ? 0 : p.width, p.Empty() ? 0 : p.height,
                             tw, th, has_caption, Pushed());
}

}  // namespace selvane::ui
