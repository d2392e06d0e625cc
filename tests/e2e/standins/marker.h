// Stand-ins for the programs of the sample edition record each start in
// C:\selvane-e2e\<program>.log: one line holding the command line's arguments.
#pragma once

#include <windows.h>
#include <wchar.h>

static void RecordStart(void) {
  wchar_t exe[MAX_PATH];
  DWORD n = GetModuleFileNameW(NULL, exe, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return;
  const wchar_t* name = wcsrchr(exe, L'\\');
  name = name ? name + 1 : exe;

  CreateDirectoryW(L"C:\\selvane-e2e", NULL);
  wchar_t log[MAX_PATH];
  _snwprintf(log, MAX_PATH, L"C:\\selvane-e2e\\%ls.log", name);
  log[MAX_PATH - 1] = 0;

  // The arguments: the command line after the program's own name.
  const wchar_t* cmd = GetCommandLineW();
  if (*cmd == L'"') {
    cmd = wcschr(cmd + 1, L'"');
    cmd = cmd ? cmd + 1 : L"";
  } else {
    while (*cmd && *cmd != L' ' && *cmd != L'\t') ++cmd;
  }
  while (*cmd == L' ' || *cmd == L'\t') ++cmd;

  char line[1024];
  int len = WideCharToMultiByte(CP_UTF8, 0, cmd, -1, line, sizeof line - 2, NULL, NULL);
  if (len <= 0) return;
  line[len - 1] = '\r';
  line[len] = '\n';

  HANDLE h = CreateFileW(log, FILE_APPEND_DATA, FILE_SHARE_READ, NULL, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
  if (h == INVALID_HANDLE_VALUE) return;
  DWORD written;
  WriteFile(h, "started ", 8, &written, NULL);
  WriteFile(h, line, (DWORD)len + 1, &written, NULL);
  CloseHandle(h);
}
