#pragma once
// TPanel and TKavelPanel as child windows: a fill, an optional raised bevel, a
// caption centred in the panel's font, windowless elements painted by the
// owner through on_paint, and an optional rounded window region.

#include <windows.h>

#include <functional>
#include <string>

#include "ui/canvas_win32.h"
#include "ui/layout.h"
#include "ui/window_class_win32.h"

namespace selvane::ui {

class PanelWindow {
 public:
  // Creates the child window `id` of `parent` at `box` with the class name
  // kPanelClass or kKavelPanelClass. Starts with a raised outer bevel.
  PanelWindow(HWND parent, int id, const wchar_t* class_name, const Box& box, COLORREF fill);
  ~PanelWindow();
  PanelWindow(const PanelWindow&) = delete;
  PanelWindow& operator=(const PanelWindow&) = delete;

  HWND Hwnd() const { return hwnd_; }
  void SetCaption(const std::string& text, HFONT font, COLORREF color);
  void SetCaptionFont(HFONT font);
  // Moves and resizes the panel; a rounded outline stays as it was until
  // Arredondamento is assigned again.
  void Move(const Box& box);
  void SetBevel(bool raised) { bevel_raised_ = raised; }
  bool BevelRaised() const { return bevel_raised_; }
  void SetHandCursor(bool hand) { hand_cursor_ = hand; }

  // TKavelPanel: store the rounding, drop the outer bevel and cut the window
  // to a rounded rectangle of its current client size. Nothing re-applies it
  // on later size changes.
  void SetArredondamento(int value);
  int Arredondamento() const { return FArredondamento; }

  // Paints the windowless elements over the fill (window coordinates).
  std::function<void(Canvas&)> on_paint;
  // A left press and release inside the panel.
  std::function<void()> on_click;
  // Raw mouse messages for the windowless elements; returns true when handled.
  std::function<bool(UINT msg, WPARAM wp, LPARAM lp)> on_mouse;
  // Cursor for the pointer at (x, y); nullptr leaves the class cursor.
  std::function<HCURSOR(int x, int y)> cursor_at;

 private:
  friend LRESULT CALLBACK ObjectWindowProc<PanelWindow>(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

  void MakeRounded();
  void Paint();
  LRESULT Handle(UINT msg, WPARAM wp, LPARAM lp);

  HWND hwnd_ = nullptr;
  COLORREF fill_;
  HFONT font_ = nullptr;
  COLORREF text_color_ = 0;
  bool bevel_raised_ = true;
  bool hand_cursor_ = false;
  bool pressed_ = false;
  int FArredondamento = 0;
};

}  // namespace selvane::ui
