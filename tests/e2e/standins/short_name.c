// Prints the 8.3 short name the system gives a file (the last part of
// GetShortPathNameW's answer) in UTF-8: short_name.exe PATH. Exits 1 when the
// system gives none.
#include <windows.h>
#include <stdio.h>
#include <wchar.h>

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) return 2;
  wchar_t path[MAX_PATH];
  const DWORD n = GetShortPathNameW(argv[1], path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return 1;
  const wchar_t* name = wcsrchr(path, L'\\');
  name = name ? name + 1 : path;
  char utf8[MAX_PATH * 4];
  if (WideCharToMultiByte(CP_UTF8, 0, name, -1, utf8, sizeof utf8, NULL, NULL) <= 0) return 1;
  printf("%s\n", utf8);
  return 0;
}
