// Profile files, processes, fonts, shell links, the registry, the code page
// and threads of the Windows Env.
#include "platform/windows_api.h"
// (first: the API's macros must be gone before Env is declared)
#include <objbase.h>
#include <shlobj.h>
#include <tlhelp32.h>
#include <wrl/client.h>

#include <stdexcept>

#include "platform/system_error_text.h"
#include "platform/win32_env.h"

namespace selvane {
namespace {

using Microsoft::WRL::ComPtr;

// COM for the calling thread, for as long as the scope lasts. A thread that
// already runs COM in another apartment model keeps it.
class ComScope {
 public:
  ComScope() : hr_(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
  ~ComScope() {
    if (SUCCEEDED(hr_)) ::CoUninitialize();
  }
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;

 private:
  const HRESULT hr_;
};

std::string Converted(UINT code_page, std::string_view utf8) {
  const std::wstring wide = Wide(utf8);
  if (wide.empty()) return std::string();
  const int n = ::WideCharToMultiByte(code_page, 0, wide.data(), static_cast<int>(wide.size()),
                                      nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(n > 0 ? n : 0), '\0');
  ::WideCharToMultiByte(code_page, 0, wide.data(), static_cast<int>(wide.size()), out.data(), n,
                        nullptr, nullptr);
  return out;
}

DWORD WINAPI ThreadMain(LPVOID arg) {
  std::unique_ptr<std::function<void()>> fn(static_cast<std::function<void()>*>(arg));
  (*fn)();
  return 0;
}

}  // namespace

std::string Win32Env::GetProfileString(const std::string& file, const std::string& section,
                                       const std::string& key, const std::string& fallback) {
  const std::wstring f = Wide(file), s = Wide(section), k = Wide(key), d = Wide(fallback);
  std::wstring buf(256, L'\0');
  for (;;) {
    const DWORD n = ::GetPrivateProfileStringW(s.c_str(), k.c_str(), d.c_str(), buf.data(),
                                               static_cast<DWORD>(buf.size()), f.c_str());
    // n == size - 1 means the value may have been cut to fit.
    if (n + 1 < buf.size()) return Narrow(std::wstring_view(buf.data(), n));
    buf.resize(buf.size() * 4);
  }
}

bool Win32Env::WriteProfileString(const std::string& file, const std::string& section,
                                  const std::string& key, const std::string& value) {
  return ::WritePrivateProfileStringW(Wide(section).c_str(), Wide(key).c_str(),
                                      Wide(value).c_str(), Wide(file).c_str()) != 0;
}

std::vector<ProcessInfo> Win32Env::SnapshotProcesses() {
  std::vector<ProcessInfo> out;
  HANDLE snap = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snap == INVALID_HANDLE_VALUE) return out;
  PROCESSENTRY32W entry;
  entry.dwSize = sizeof entry;
  for (BOOL more = ::Process32FirstW(snap, &entry); more; more = ::Process32NextW(snap, &entry))
    out.push_back({entry.th32ProcessID, Narrow(entry.szExeFile)});
  ::CloseHandle(snap);
  return out;
}

bool Win32Env::TerminateProcess(uint32_t pid, uint32_t exit_code) {
  HANDLE h = ::OpenProcess(PROCESS_TERMINATE, FALSE, pid);
  if (h == nullptr) return false;
  const BOOL ok = ::TerminateProcess(h, exit_code);
  ::CloseHandle(h);
  return ok != 0;
}

bool Win32Env::RunHidden(const std::string& command_line, const std::string& current_folder) {
  static constexpr std::string_view kInterpreter = "cmd.exe ";
  if (command_line.compare(0, kInterpreter.size(), kInterpreter) != 0) return false;
  // The system's interpreter by its full path: a cmd.exe lying in a download
  // folder is never the one that runs.
  wchar_t system_dir[MAX_PATH];
  const UINT length = ::GetSystemDirectoryW(system_dir, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return false;
  const std::wstring interpreter = std::wstring(system_dir, length) + L"\\cmd.exe";
  std::wstring line = Wide(command_line);
  const std::wstring folder = Wide(current_folder);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  PROCESS_INFORMATION process{};
  // No handle is inherited: the batch must not keep the server connection or a file open.
  if (!::CreateProcessW(interpreter.c_str(), line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                        folder.c_str(), &startup, &process)) {
    return false;
  }
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  return true;
}

bool Win32Env::AddFontResource(const std::string& path) {
  return ::AddFontResourceW(Wide(path).c_str()) > 0;
}

void Win32Env::BroadcastFontChange() { ::SendMessageW(HWND_BROADCAST, WM_FONTCHANGE, 0, 0); }

void Win32Env::SaveShellLink(const std::string& link_path, const std::string& target,
                             const std::string& arguments, const std::string& working_dir) {
  ComScope com;
  ComPtr<IShellLinkW> link;
  HRESULT hr = ::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                  reinterpret_cast<void**>(link.GetAddressOf()));
  if (FAILED(hr)) throw std::runtime_error(SystemErrorText(static_cast<unsigned long>(hr)));
  ComPtr<IPersistFile> file;
  hr = link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.GetAddressOf()));
  if (FAILED(hr)) throw std::runtime_error(SystemErrorText(static_cast<unsigned long>(hr)));
  link->SetArguments(Wide(arguments).c_str());
  link->SetPath(Wide(target).c_str());
  link->SetWorkingDirectory(Wide(working_dir).c_str());
  file->Save(Wide(link_path).c_str(), FALSE);
}

std::optional<std::string> Win32Env::ReadCurrentUserString(const std::string& key,
                                                           const std::string& value) {
  HKEY h = nullptr;
  if (::RegOpenKeyExW(HKEY_CURRENT_USER, Wide(key).c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS)
    return std::nullopt;
  const std::wstring name = Wide(value);
  std::optional<std::string> result;
  DWORD type = 0, size = 0;
  if (::RegQueryValueExW(h, name.c_str(), nullptr, &type, nullptr, &size) == ERROR_SUCCESS &&
      (type == REG_SZ || type == REG_EXPAND_SZ)) {
    std::wstring data(size / sizeof(wchar_t) + 1, L'\0');
    DWORD got = size;
    if (::RegQueryValueExW(h, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data.data()),
                           &got) == ERROR_SUCCESS) {
      data.resize(got / sizeof(wchar_t));
      while (!data.empty() && data.back() == L'\0') data.pop_back();
      result = Narrow(data);
    }
  }
  ::RegCloseKey(h);
  return result;
}

std::string Win32Env::ToAnsi(std::string_view utf8) { return Converted(CP_ACP, utf8); }

std::string Win32Env::FromAnsi(std::string_view ansi) {
  if (ansi.empty()) return std::string();
  const int n = ::MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()),
                                      nullptr, 0);
  std::wstring wide(static_cast<size_t>(n > 0 ? n : 0), L'\0');
  ::MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), wide.data(), n);
  return Narrow(wide);
}

void Win32Env::SleepMs(uint32_t ms) { ::Sleep(ms); }

void Win32Env::StartThread(std::function<void()> fn, ThreadPriority priority) {
  auto arg = std::make_unique<std::function<void()>>(std::move(fn));
  DWORD id = 0;
  HANDLE h = ::CreateThread(nullptr, 0, &ThreadMain, arg.get(), CREATE_SUSPENDED, &id);
  if (h == nullptr)
    throw std::runtime_error("Thread creation error: " + SystemErrorText(::GetLastError()));
  arg.release();  // the thread owns it now
  ::SetThreadPriority(h, priority == ThreadPriority::kAboveNormal ? THREAD_PRIORITY_ABOVE_NORMAL
                                                                  : THREAD_PRIORITY_NORMAL);
  ::ResumeThread(h);
  ::CloseHandle(h);
}

Env* DefaultEnv() {
  static Win32Env env;
  return &env;
}

}  // namespace selvane
