#pragma once
// The plumbing shared by the window classes of this module: registering a
// class once, creating a child window bound to the object that handles its
// messages, finding that object again in the window procedure, and destroying
// the window without letting it reach the object any more.

#include <windows.h>

#include "ui/layout.h"

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

// A visible child window `id` of `parent` at `box`, whose procedure finds
// `object` through WindowObject.
inline HWND CreateChildWindow(const wchar_t* class_name, DWORD style, HWND parent, int id, const Box& box,
                              void* object) {
  return CreateWindowExW(0, class_name, L"", WS_CHILD | WS_VISIBLE | style, box.left, box.top, box.width,
                         box.height, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                         GetModuleHandleW(nullptr), object);
}

// The object bound to `hwnd`: the one passed to CreateWindowExW, bound at
// WM_NCCREATE; nullptr before that and after DestroyUnbound.
template <typename T>
T* WindowObject(HWND hwnd, UINT msg, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    auto* object = static_cast<T*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(object));
    return object;
  }
  return reinterpret_cast<T*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

// The window procedure of a class whose objects serve their own messages:
// T keeps its handle in `hwnd_`, serves messages in `Handle(msg, wp, lp)` and
// names this procedure a friend.
template <typename T>
LRESULT CALLBACK ObjectWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  T* self = WindowObject<T>(hwnd, msg, lp);
  if (!self) return DefWindowProcW(hwnd, msg, wp, lp);
  self->hwnd_ = hwnd;
  return self->Handle(msg, wp, lp);
}

// Destroyed by its owner: the messages of its destruction reach no object.
inline void DestroyUnbound(HWND hwnd) {
  if (!IsWindow(hwnd)) return;
  SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
  DestroyWindow(hwnd);
}

}  // namespace selvane::ui
