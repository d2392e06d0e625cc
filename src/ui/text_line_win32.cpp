#include "ui/text_line_win32.h"

#include "ui/canvas_win32.h"
#include "ui/element_ids.h"
#include "ui/wide_text_win32.h"
#include "ui/window_class_win32.h"

namespace selvane::ui {
namespace {

constexpr UINT kDrawFlags = DT_EXPANDTABS;  // no DT_NOPREFIX: '&' underlines

}  // namespace

TextLineWindow::TextLineWindow(HWND parent, int id, const Box& box, Sizing sizing, HFONT font, COLORREF color,
                               COLORREF background)
    : sizing_(sizing), right_(box.Right()), top_(box.top), font_(font), color_(color), background_(background) {
  RegisterWindowClassOnce(kTextLineClass, ObjectWindowProc<TextLineWindow>, 0);
  hwnd_ = CreateChildWindow(kTextLineClass, WS_CLIPSIBLINGS, parent, id, box, this);
}

TextLineWindow::~TextLineWindow() { DestroyUnbound(hwnd_); }

void TextLineWindow::SetText(const std::string& text) {
  text_ = text;
  SetWindowTextW(hwnd_, Wide(text).c_str());
  if (sizing_ == Sizing::kAutoRightAnchored) AdjustSize();
  RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
}

void TextLineWindow::Place(const Box& box, HFONT font) {
  right_ = box.Right();
  top_ = box.top;
  font_ = font;
  if (sizing_ == Sizing::kAutoRightAnchored) {
    AdjustSize();
  } else {
    SetWindowPos(hwnd_, nullptr, box.left, box.top, box.width, box.height, SWP_NOZORDER | SWP_NOACTIVATE);
  }
  InvalidateRect(hwnd_, nullptr, FALSE);
}

void TextLineWindow::AdjustSize() {
  const std::wstring w = Wide(text_.empty() ? std::string(" ") : text_);
  HDC dc = GetDC(hwnd_);
  HGDIOBJ old = SelectObject(dc, font_);
  RECT r{0, 0, 0, 0};
  DrawTextW(dc, w.c_str(), static_cast<int>(w.size()), &r, kDrawFlags | DT_CALCRECT);
  SelectObject(dc, old);
  ReleaseDC(hwnd_, dc);
  const Box box = RightAnchoredBox(right_, top_, r.right - r.left, r.bottom - r.top);
  SetWindowPos(hwnd_, nullptr, box.left, box.top, box.width, box.height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void TextLineWindow::Paint() {
  PaintThroughCanvas(hwnd_, background_, [this](Canvas& canvas, RECT client) {
    const std::wstring w = Wide(text_);
    HGDIOBJ old = SelectObject(canvas.Dc(), font_);
    SetBkMode(canvas.Dc(), TRANSPARENT);
    SetTextColor(canvas.Dc(), color_);
    const UINT align = sizing_ == Sizing::kFixedCentred ? DT_CENTER : DT_LEFT;
    DrawTextW(canvas.Dc(), w.c_str(), static_cast<int>(w.size()), &client, kDrawFlags | align);
    SelectObject(canvas.Dc(), old);
  });
}

LRESULT TextLineWindow::Handle(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_PAINT:
      Paint();
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_NCHITTEST:
      return HTTRANSPARENT;  // clicks reach the panel beneath
    default:
      break;
  }
  return DefWindowProcW(hwnd_, msg, wp, lp);
}

}  // namespace selvane::ui
