#pragma once
// Paints a TImageButton onto its parent's canvas: frame, picture, caption.

#include <windows.h>

#include "ui/canvas_win32.h"
#include "ui/image_button.h"

namespace selvane::ui {

void PaintImageButton(Canvas& canvas, const TImageButton& button, HFONT font, COLORREF text_color);

}  // namespace selvane::ui
