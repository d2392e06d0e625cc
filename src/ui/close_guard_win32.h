#pragma once
// The system's close requests of the main window: WM_CLOSE (a program's or the
// taskbar's), and Alt+F4 or the taskbar's Close as WM_SYSCOMMAND SC_CLOSE.

#include <functional>

namespace selvane::ui {

// From now on every close request of the calling thread's main window goes
// to `close_request` instead of destroying the window; the callback ends the
// application itself when it may. False when the thread has no main window.
bool GuardCloseRequests(std::function<void()> close_request);

}  // namespace selvane::ui
