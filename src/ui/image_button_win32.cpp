#include "ui/image_button_win32.h"

#include "ui/wide_text_win32.h"

namespace selvane::ui {

void PaintImageButton(Canvas& canvas, const TImageButton& button, HFONT font, COLORREF text_color) {
  if (!button.Visible()) return;
  HDC dc = canvas.Dc();
  HGDIOBJ old_font = SelectObject(dc, font);
  const std::wstring caption = Wide(button.Caption());
  SIZE extent{0, 0};
  if (!caption.empty()) GetTextExtentPoint32W(dc, caption.c_str(), static_cast<int>(caption.size()), &extent);
  const ButtonLayoutResult pos = button.Layout(extent.cx, extent.cy);

  RECT area = RectOf(button);
  switch (button.Frame()) {
    case ButtonFrame::kFaceUp:
      DrawFrameControl(dc, &area, DFC_BUTTON, DFCS_BUTTONPUSH);
      break;
    case ButtonFrame::kFaceDown:
      DrawFrameControl(dc, &area, DFC_BUTTON, DFCS_BUTTONPUSH | DFCS_PUSHED);
      break;
    case ButtonFrame::kRaised:
      DrawEdge(dc, &area, BDR_RAISEDINNER, BF_RECT);
      InflateRect(&area, -1, -1);
      break;
    case ButtonFrame::kSunken:
      DrawEdge(dc, &area, BDR_SUNKENOUTER, BF_RECT);
      InflateRect(&area, -1, -1);
      break;
    case ButtonFrame::kNone:
      break;
  }
  // The picture is not clipped to the frame area, only to the button.
  canvas.Blend(button.PictureToPaint(), button.Left() + pos.image_pos.x, button.Top() + pos.image_pos.y,
               RectOf(button));
  if (!caption.empty()) {
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, button.ButtonState() == TImageButtonState::pbsDisabled ? GetSysColor(COLOR_GRAYTEXT)
                                                                            : text_color);
    const int saved = SaveDC(dc);
    IntersectClipRect(dc, area.left, area.top, area.right, area.bottom);
    TextOutW(dc, button.Left() + pos.text_pos.x, button.Top() + pos.text_pos.y, caption.c_str(),
             static_cast<int>(caption.size()));
    RestoreDC(dc, saved);
  }
  SelectObject(dc, old_font);
}

}  // namespace selvane::ui
