#pragma once
// Registers a child window class of this module the first time it is asked for.

#include <windows.h>

namespace selvane::ui {

inline void RegisterWindowClassOnce(const wchar_t* name, WNDPROC proc, UINT style) {
  WNDCLASSEXW wc{};
  if (GetClassInfoExW(GetModuleHandleW(nullptr), name, &wc)) return;
  wc.cbSize = sizeof(wc);
  wc.style = style;
  wc.lpfnWndProc = proc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  wc.lpszClassName = name;
  RegisterClassExW(&wc);
}

}  // namespace selvane::ui
