#pragma once
// The whole status text on demand: a common-controls tooltip over the status
// line's area of its parent panel. A status text wider than the line is cut
// at both edges; pointing at the line shows all of it, line breaks included,
// so that a failure message can always be read out to support.

#include <windows.h>

#include <string>

namespace selvane::ui {

class StatusTooltip {
 public:
  // `owner` is the window that receives the mouse over the status line (the
  // line itself lets the mouse through to it).
  explicit StatusTooltip(HWND owner);
  ~StatusTooltip();
  StatusTooltip(const StatusTooltip&) = delete;
  StatusTooltip& operator=(const StatusTooltip&) = delete;

  HWND Hwnd() const { return tip_; }
  // The status line's box in the owner's client coordinates, the widest a
  // tip may get before it wraps, and the display scale: the tip is drawn in
  // the system's status font for that dpi.
  void SetArea(const RECT& area, int max_width, int dpi);
  void SetText(const std::string& text);

 private:
  HWND owner_;
  HWND tip_ = nullptr;
  HFONT font_ = nullptr;
  std::wstring text_;
};

}  // namespace selvane::ui
