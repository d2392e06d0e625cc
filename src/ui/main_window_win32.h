#pragma once
// The main window FrmSelvane for Windows: a borderless, topmost window of
// 515 x 341 centred on the desktop, see-through by the colour key clBtnFace,
// with its two rounded panels and their elements.

#include <memory>

#include "ui/main_view.h"

namespace selvane::ui {

// Creates the window (hidden until RunMessageLoop) on the calling thread,
// which becomes the window thread. SetEvents runs form_create at once.
std::unique_ptr<MainView> CreateMainWindow();

}  // namespace selvane::ui
