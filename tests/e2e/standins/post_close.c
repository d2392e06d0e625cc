// Asks the updater's window to close the ways the system does: WM_CLOSE (a
// program's or the taskbar's) and WM_SYSCOMMAND SC_CLOSE (Alt+F4, the
// taskbar's Close), COUNT times each, posted. Prints "posted" or "no window";
// exits 0 when the window was found.
#include <windows.h>
#include <stdlib.h>
#include <stdio.h>

int wmain(int argc, wchar_t** argv) {
  const int count = argc > 1 ? _wtoi(argv[1]) : 1;
  HWND window = FindWindowW(L"TFrmSelvane", NULL);
  if (window == NULL) {
    printf("no window\n");
    return 1;
  }
  for (int i = 0; i < count; ++i) {
    PostMessageW(window, WM_CLOSE, 0, 0);
    PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
  }
  printf("posted\n");
  return 0;
}
