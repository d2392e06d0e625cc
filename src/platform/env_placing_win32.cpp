// File identity, folder removal, renames that keep the system's reason, and
// the programs holding a file (Restart Manager) of the Windows Env.
#include "platform/windows_api.h"
// (first: the API's macros must be gone before Env is declared)
#include <restartmanager.h>

#include <vector>

#include "platform/system_error_text.h"
#include "platform/win32_env.h"

namespace selvane {
namespace {

// The file's volume and index; nullopt when it cannot be opened. Asking for
// no access right passes every share mode, so a file held without sharing
// (a container being read) is still identified.
std::optional<BY_HANDLE_FILE_INFORMATION> Identity(const std::string& path) {
  HANDLE h = ::CreateFileW(Wide(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return std::nullopt;
  BY_HANDLE_FILE_INFORMATION info;
  const BOOL ok = ::GetFileInformationByHandle(h, &info);
  ::CloseHandle(h);
  if (!ok || (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return std::nullopt;
  return info;
}

class RmSession {
 public:
  RmSession() {
    WCHAR key[CCH_RM_SESSION_KEY + 1] = {};
    ok_ = ::RmStartSession(&handle_, 0, key) == ERROR_SUCCESS;
  }
  ~RmSession() {
    if (ok_) ::RmEndSession(handle_);
  }
  RmSession(const RmSession&) = delete;
  RmSession& operator=(const RmSession&) = delete;
  bool ok() const { return ok_; }
  DWORD handle() const { return handle_; }

 private:
  DWORD handle_ = 0;
  bool ok_ = false;
};

}  // namespace

bool Win32Env::SameFile(const std::string& a, const std::string& b) {
  // A missing first file settles it without opening the second.
  const auto ia = Identity(a);
  if (!ia) return false;
  const auto ib = Identity(b);
  return ib && ia->dwVolumeSerialNumber == ib->dwVolumeSerialNumber &&
         ia->nFileIndexHigh == ib->nFileIndexHigh && ia->nFileIndexLow == ib->nFileIndexLow;
}

bool Win32Env::RemoveDirectory(const std::string& path) {
  return ::RemoveDirectoryW(Wide(path).c_str()) != 0;
}

std::string Win32Env::MoveFileReplaceReason(const std::string& from, const std::string& to) {
  if (::MoveFileExW(Wide(from).c_str(), Wide(to).c_str(), MOVEFILE_REPLACE_EXISTING) != 0) return {};
  return SystemErrorText(::GetLastError());
}

std::optional<std::string> Win32Env::MoveFileToFreeName(const std::string& from, const std::string& to) {
  if (::MoveFileExW(Wide(from).c_str(), Wide(to).c_str(), 0) != 0) return std::string();
  const DWORD error = ::GetLastError();
  if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS) return std::nullopt;
  return SystemErrorText(error);
}

std::vector<std::string> Win32Env::ProgramsHoldingFile(const std::string& path) {
  RmSession session;
  if (!session.ok()) return {};
  const std::wstring wide = Wide(path);
  LPCWSTR files[] = {wide.c_str()};
  if (::RmRegisterResources(session.handle(), 1, files, 0, nullptr, 0, nullptr) != ERROR_SUCCESS) return {};
  // The list can grow between the two calls; a few rounds settle it.
  std::vector<RM_PROCESS_INFO> infos;
  for (int round = 0; round < 4; ++round) {
    UINT needed = 0;
    UINT count = static_cast<UINT>(infos.size());
    DWORD reasons = 0;
    const DWORD rc = ::RmGetList(session.handle(), &needed, &count, infos.empty() ? nullptr : infos.data(), &reasons);
    if (rc == ERROR_SUCCESS) {
      infos.resize(count);
      std::vector<std::string> names;
      for (const RM_PROCESS_INFO& info : infos) names.push_back(Narrow(info.strAppName));
      return names;
    }
    if (rc != ERROR_MORE_DATA) return {};
    infos.resize(needed);
  }
  return {};
}

}  // namespace selvane
