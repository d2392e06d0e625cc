#include "ui/panel_win32.h"

#include <windowsx.h>

#include "ui/element_ids.h"
#include "ui/wide_text_win32.h"
#include "ui/window_class_win32.h"

namespace selvane::ui {

PanelWindow::PanelWindow(HWND parent, int id, const wchar_t* class_name, const Box& box, COLORREF fill)
    : fill_(fill) {
  RegisterWindowClassOnce(class_name, ObjectWindowProc<PanelWindow>, CS_DBLCLKS);
  hwnd_ = CreateChildWindow(class_name, WS_CLIPCHILDREN | WS_CLIPSIBLINGS, parent, id, box, this);
}

PanelWindow::~PanelWindow() { DestroyUnbound(hwnd_); }

void PanelWindow::SetCaption(const std::string& text, HFONT font, COLORREF color) {
  font_ = font;
  text_color_ = color;
  SetWindowTextW(hwnd_, Wide(text).c_str());
  InvalidateRect(hwnd_, nullptr, FALSE);
}

void PanelWindow::SetCaptionFont(HFONT font) {
  font_ = font;
  InvalidateRect(hwnd_, nullptr, FALSE);
}

void PanelWindow::Move(const Box& box) {
  SetWindowPos(hwnd_, nullptr, box.left, box.top, box.width, box.height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void PanelWindow::SetArredondamento(int value) {
  FArredondamento = value;
  bevel_raised_ = false;
  MakeRounded();
}

void PanelWindow::MakeRounded() {
  RECT r;
  GetClientRect(hwnd_, &r);
  HRGN rgn = CreateRoundRectRgn(r.left, r.top, r.right, r.bottom, FArredondamento, FArredondamento);
  // The window owns the region from here on.
  SetWindowRgn(hwnd_, rgn, TRUE);
  InvalidateRect(hwnd_, nullptr, TRUE);
}

void PanelWindow::Paint() {
  PaintThroughCanvas(hwnd_, fill_, [this](Canvas& canvas, RECT client) {
    if (bevel_raised_) DrawEdge(canvas.Dc(), &client, BDR_RAISEDOUTER, BF_RECT);
    const int len = GetWindowTextLengthW(hwnd_);
    if (len > 0) {
      std::wstring caption(static_cast<size_t>(len) + 1, L'\0');
      GetWindowTextW(hwnd_, caption.data(), len + 1);
      caption.resize(static_cast<size_t>(len));
      HGDIOBJ old = SelectObject(canvas.Dc(), font_ ? static_cast<HGDIOBJ>(font_) : GetStockObject(DEFAULT_GUI_FONT));
      SetBkMode(canvas.Dc(), TRANSPARENT);
      SetTextColor(canvas.Dc(), text_color_);
      RECT text_rect = client;
      DrawTextW(canvas.Dc(), caption.c_str(), len, &text_rect, DT_EXPANDTABS | DT_SINGLELINE | DT_VCENTER | DT_CENTER);
      SelectObject(canvas.Dc(), old);
    }
    if (on_paint) on_paint(canvas);
  });
}

LRESULT PanelWindow::Handle(UINT msg, WPARAM wp, LPARAM lp) {
  // A disabled panel takes no mouse input, also none posted to it directly.
  if (msg >= WM_MOUSEFIRST && msg <= WM_MOUSELAST && !IsWindowEnabled(hwnd_)) return 0;
  if (on_mouse && ((msg >= WM_MOUSEFIRST && msg <= WM_MOUSELAST) || msg == WM_MOUSELEAVE ||
                   msg == WM_CAPTURECHANGED)) {
    if (on_mouse(msg, wp, lp)) return 0;
  }
  switch (msg) {
    case WM_PAINT:
      Paint();
      return 0;
    case WM_ERASEBKGND:
      return 1;  // painted in full by WM_PAINT
    case WM_SETCURSOR:
      if (LOWORD(lp) == HTCLIENT) {
        POINT pt;
        GetCursorPos(&pt);
        ScreenToClient(hwnd_, &pt);
        HCURSOR c = cursor_at ? cursor_at(pt.x, pt.y) : nullptr;
        if (!c && hand_cursor_) c = LoadCursorW(nullptr, MAKEINTRESOURCEW(32649));  // IDC_HAND
        if (c) {
          SetCursor(c);
          return TRUE;
        }
      }
      break;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      if (on_click) {
        pressed_ = true;
        SetCapture(hwnd_);
        return 0;
      }
      break;
    case WM_LBUTTONUP:
      if (on_click) {
        const bool was_pressed = pressed_;
        pressed_ = false;
        if (GetCapture() == hwnd_) ReleaseCapture();
        RECT client;
        GetClientRect(hwnd_, &client);
        POINT pt{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
        if (was_pressed && PtInRect(&client, pt)) on_click();
        return 0;
      }
      break;
    default:
      break;
  }
  return DefWindowProcW(hwnd_, msg, wp, lp);
}

}  // namespace selvane::ui
