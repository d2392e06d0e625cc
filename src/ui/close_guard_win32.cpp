#include "ui/close_guard_win32.h"

#include <windows.h>
#include <commctrl.h>

#include "ui/element_ids.h"

namespace selvane::ui {
namespace {

constexpr UINT_PTR kCloseGuardId = 1;

bool IsCloseRequest(UINT msg, WPARAM wp) {
  return msg == WM_CLOSE || (msg == WM_SYSCOMMAND && (wp & 0xFFF0) == SC_CLOSE);
}

LRESULT CALLBACK CloseGuardProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR data) {
  auto* close_request = reinterpret_cast<std::function<void()>*>(data);
  if (IsCloseRequest(msg, wp)) {
    (*close_request)();
    return 0;
  }
  if (msg == WM_NCDESTROY) {
    RemoveWindowSubclass(hwnd, CloseGuardProc, kCloseGuardId);
    delete close_request;
  }
  return DefSubclassProc(hwnd, msg, wp, lp);
}

BOOL CALLBACK FindMainWindow(HWND hwnd, LPARAM found) {
  wchar_t name[64] = {};
  if (GetClassNameW(hwnd, name, 64) > 0 && lstrcmpW(name, kMainWindowClass) == 0) {
    *reinterpret_cast<HWND*>(found) = hwnd;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

bool GuardCloseRequests(std::function<void()> close_request) {
  HWND main = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), FindMainWindow, reinterpret_cast<LPARAM>(&main));
  if (main == nullptr) return false;
  auto* data = new std::function<void()>(std::move(close_request));
  if (!SetWindowSubclass(main, CloseGuardProc, kCloseGuardId, reinterpret_cast<DWORD_PTR>(data))) {
    delete data;
    return false;
  }
  return true;
}

}  // namespace selvane::ui
