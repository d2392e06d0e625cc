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
    : sizing_(sizing), right_(box.right()), font_(font), color_(color), background_(background) {
  RegisterWindowClassOnce(kTextLineClass, Proc, 0);
  hwnd_ = CreateWindowExW(0, kTextLineClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS,
                          box.left, box.top, box.width, box.height, parent,
                          reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), this);
}

TextLineWindow::~TextLineWindow() {
  if (IsWindow(hwnd_)) {
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    DestroyWindow(hwnd_);
  }
}

void TextLineWindow::SetText(const std::string& text) {
  text_ = text;
  SetWindowTextW(hwnd_, Wide(text).c_str());
  if (sizing_ == Sizing::kAutoRightAnchored) AdjustSize();
  RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
}

void TextLineWindow::AdjustSize() {
  const std::wstring w = Wide(text_.empty() ? std::string(" ") : text_);
  HDC dc = GetDC(hwnd_);
  HGDIOBJ old = SelectObject(dc, font_);
  RECT r{0, 0, 0, 0};
  DrawTextW(dc, w.c_str(), static_cast<int>(w.size()), &r, kDrawFlags | DT_CALCRECT);
  SelectObject(dc, old);
  ReleaseDC(hwnd_, dc);
  RECT cur;
  GetWindowRect(hwnd_, &cur);
  MapWindowPoints(nullptr, GetParent(hwnd_), reinterpret_cast<POINT*>(&cur), 2);
  const Box box = RightAnchoredBox(right_, cur.top, r.right - r.left, r.bottom - r.top);
  SetWindowPos(hwnd_, nullptr, box.left, box.top, box.width, box.height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void TextLineWindow::Paint() {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd_, &ps);
  if (!IsRectEmpty(&ps.rcPaint)) {
    Canvas canvas(ps.rcPaint);
    RECT client;
    GetClientRect(hwnd_, &client);
    canvas.Fill(client, background_);
    const std::wstring w = Wide(text_);
    HGDIOBJ old = SelectObject(canvas.dc(), font_);
    SetBkMode(canvas.dc(), TRANSPARENT);
    SetTextColor(canvas.dc(), color_);
    const UINT align = sizing_ == Sizing::kFixedCentred ? DT_CENTER : DT_LEFT;
    DrawTextW(canvas.dc(), w.c_str(), static_cast<int>(w.size()), &client, kDrawFlags | align);
    SelectObject(canvas.dc(), old);
    canvas.CopyTo(dc);
  }
  EndPaint(hwnd_, &ps);
}

LRESULT CALLBACK TextLineWindow::Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
    static_cast<TextLineWindow*>(cs->lpCreateParams)->hwnd_ = hwnd;
  }
  auto* self = reinterpret_cast<TextLineWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (self) {
    switch (msg) {
      case WM_PAINT:
        self->Paint();
        return 0;
      case WM_ERASEBKGND:
        return 1;
      case WM_NCHITTEST:
        return HTTRANSPARENT;  // clicks reach the panel beneath
      default:
        break;
    }
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace selvane::ui
