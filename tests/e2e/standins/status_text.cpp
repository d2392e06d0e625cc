// Prints the text of the updater window's status line in UTF-8 (one line),
// so that a script can tell which failure a run shows. Exits 1 when there is
// no such window or line.
#include <windows.h>

#include <cstdio>
#include <string>

#include "ui/element_ids.h"

namespace {

BOOL CALLBACK FindStatusLine(HWND hwnd, LPARAM found) {
  if (GetDlgCtrlID(hwnd) != selvane::ui::kIdLabel1) return TRUE;
  *reinterpret_cast<HWND*>(found) = hwnd;
  return FALSE;
}

}  // namespace

int wmain() {
  HWND window = FindWindowW(selvane::ui::kMainWindowClass, nullptr);
  HWND line = nullptr;
  if (window != nullptr) EnumChildWindows(window, FindStatusLine, reinterpret_cast<LPARAM>(&line));
  if (line == nullptr) {
    std::printf("no status line\n");
    return 1;
  }
  // A window busy on its thread must not hang the script.
  wchar_t text[1024] = {};
  DWORD_PTR got = 0;
  if (!SendMessageTimeoutW(line, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000, &got)) {
    std::printf("no answer\n");
    return 1;
  }
  char utf8[4096] = {};
  WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof utf8, nullptr, nullptr);
  std::printf("%s\n", utf8);
  return 0;
}
