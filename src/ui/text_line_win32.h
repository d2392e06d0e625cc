#pragma once
// A text line (TLabel) as a small child window: its window text is its text,
// painted in its font and colour over its parent's fill, without word wrap or
// ellipsis, clipped to its box; "&x" underlines x and "&&" shows one "&".
// Either centred in a fixed box, or sized to its text with its right edge kept.

#include <windows.h>

#include <string>

#include "ui/layout.h"
#include "ui/window_class_win32.h"

namespace selvane::ui {

class TextLineWindow {
 public:
  enum class Sizing { kFixedCentred, kAutoRightAnchored };

  // For kAutoRightAnchored, box.left + box.width is the right edge and
  // box.top the top; the width and height follow the text.
  TextLineWindow(HWND parent, int id, const Box& box, Sizing sizing, HFONT font, COLORREF color,
                 COLORREF background);
  ~TextLineWindow();
  TextLineWindow(const TextLineWindow&) = delete;
  TextLineWindow& operator=(const TextLineWindow&) = delete;

  HWND Hwnd() const { return hwnd_; }
  void SetText(const std::string& text);
  // Moves the line to `box` (read as in the constructor) and draws it in
  // `font` from now on: how the window follows a change of display scale.
  void Place(const Box& box, HFONT font);
  const std::string& Text() const { return text_; }

 private:
  friend LRESULT CALLBACK ObjectWindowProc<TextLineWindow>(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  void AdjustSize();
  void Paint();
  LRESULT Handle(UINT msg, WPARAM wp, LPARAM lp);

  HWND hwnd_ = nullptr;
  Sizing sizing_;
  int right_;
  int top_;
  HFONT font_;
  COLORREF color_;
  COLORREF background_;
  std::string text_;
};

}  // namespace selvane::ui
