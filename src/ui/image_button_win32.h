#pragma once
// Paints a TImageButton onto its parent's canvas: frame, picture, caption.

#include <windows.h>

#include "ui/canvas_win32.h"
#include "ui/image_button.h"

namespace selvane::ui {

// The control's place in its parent's client area.
inline RECT RectOf(const ControlBounds& c) { return RECT{c.Left(), c.Top(), c.Left() + c.Width(), c.Top() + c.Height()}; }

void PaintImageButton(Canvas& canvas, const TImageButton& button, HFONT font, COLORREF text_color);

}  // namespace selvane::ui
