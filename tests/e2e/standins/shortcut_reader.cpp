// Reads a shell link back through the shell link object and prints what it
// holds, one "Name=value" line each (UTF-8):
//   shortcut_reader.exe "Kavel Vendra-ECF"   a title: the link on the desktop
//                                            that the Shell Folders key names
// Exit status 0 when the link could be loaded, 1 otherwise.

#include <objbase.h>
#include <objidl.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

std::string Utf8(const wchar_t* w) {
  int n = WideCharToMultiByte(CP_UTF8, 0, w, -1, nullptr, 0, nullptr, nullptr);
  std::string s(n > 0 ? n - 1 : 0, '\0');
  if (n > 1) WideCharToMultiByte(CP_UTF8, 0, w, -1, s.data(), n, nullptr, nullptr);
  return s;
}

std::wstring Desktop() {
  HKEY key;
  std::wstring out;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\MicroSoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", 0,
                    KEY_READ, &key) == ERROR_SUCCESS) {
    wchar_t buf[MAX_PATH];
    DWORD size = sizeof buf;
    DWORD type = 0;
    if (RegQueryValueExW(key, L"Desktop", nullptr, &type, reinterpret_cast<BYTE*>(buf), &size) == ERROR_SUCCESS &&
        type == REG_SZ) {
      out.assign(buf, size / sizeof(wchar_t));
      while (!out.empty() && out.back() == L'\0') out.pop_back();
    }
    RegCloseKey(key);
  }
  return out;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: shortcut_reader TITLE\n");
    return 2;
  }
  const std::wstring link = Desktop() + L"\\" + argv[1] + L".lnk";
  std::printf("Link=%s\n", Utf8(link.c_str()).c_str());
  CoInitialize(nullptr);
  IShellLinkW* shell_link = nullptr;
  int rc = 1;
  if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                 reinterpret_cast<void**>(&shell_link)))) {
    IPersistFile* file = nullptr;
    if (SUCCEEDED(shell_link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
      if (SUCCEEDED(file->Load(link.c_str(), STGM_READ))) {
        wchar_t buf[MAX_PATH * 2] = {};
        shell_link->GetPath(buf, MAX_PATH * 2, nullptr, SLGP_RAWPATH);
        std::printf("Target=%s\n", Utf8(buf).c_str());
        buf[0] = 0;
        shell_link->GetArguments(buf, MAX_PATH * 2);
        std::printf("Arguments=%s\n", Utf8(buf).c_str());
        buf[0] = 0;
        shell_link->GetWorkingDirectory(buf, MAX_PATH * 2);
        std::printf("WorkingDirectory=%s\n", Utf8(buf).c_str());
        rc = 0;
      }
      file->Release();
    }
    shell_link->Release();
  }
  CoUninitialize();
  return rc;
}
