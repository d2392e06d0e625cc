// Files, folders, attributes and times of the Windows Env.
#include "platform/windows_api.h"
// (first: the API's macros must be gone before Env is declared)
#include "platform/system_error_text.h"
#include "platform/win32_env.h"

namespace selvane {
namespace {

DWORD ShareFlags(ShareMode share) {
  return share == ShareMode::kExclusive ? 0 : FILE_SHARE_READ | FILE_SHARE_WRITE;
}

class Handle {
 public:
  explicit Handle(HANDLE h) : h_(h) {}
  ~Handle() {
    if (valid()) ::CloseHandle(h_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  bool valid() const { return h_ != INVALID_HANDLE_VALUE && h_ != nullptr; }
  HANDLE get() const { return h_; }
  HANDLE release() {
    HANDLE h = h_;
    h_ = INVALID_HANDLE_VALUE;
    return h;
  }

 private:
  HANDLE h_;
};

class Win32ReadableFile : public ReadableFile {
 public:
  explicit Win32ReadableFile(HANDLE h) : h_(h) {}
  size_t Read(void* buf, size_t n) override {
    DWORD got = 0;
    const DWORD ask = n > 0x40000000 ? 0x40000000 : static_cast<DWORD>(n);
    if (!::ReadFile(h_.get(), buf, ask, &got, nullptr))
      throw EInOutError(SystemErrorText(::GetLastError()));
    return got;
  }

 private:
  Handle h_;
};

bool SetLastWriteOf(HANDLE h, DosDateTime when) {
  // Local to UTC with the offset of that date, as GetLastWriteDos reads it back.
  FILETIME local_time, utc_time;
  SYSTEMTIME local, utc;
  return ::DosDateTimeToFileTime(when.date, when.time, &local_time) &&
         ::FileTimeToSystemTime(&local_time, &local) &&
         ::TzSpecificLocalTimeToSystemTime(nullptr, &local, &utc) &&
         ::SystemTimeToFileTime(&utc, &utc_time) &&
         ::SetFileTime(h, nullptr, nullptr, &utc_time);
}

class Win32WritableFile : public WritableFile {
 public:
  explicit Win32WritableFile(HANDLE h) : h_(h) {}
  void Write(const void* buf, size_t n) override {
    if (!h_.valid()) throw EInOutError("File not open");
    const char* p = static_cast<const char*>(buf);
    while (n > 0) {
      DWORD put = 0;
      const DWORD ask = n > 0x40000000 ? 0x40000000 : static_cast<DWORD>(n);
      if (!::WriteFile(h_.get(), p, ask, &put, nullptr))
        throw EInOutError(SystemErrorText(::GetLastError()));
      if (put == 0) throw EInOutError(SystemErrorText(ERROR_WRITE_FAULT));
      p += put;
      n -= put;
    }
  }
  bool SetLastWriteDos(DosDateTime when) override { return h_.valid() && SetLastWriteOf(h_.get(), when); }
  void Close() override {
    if (!h_.valid()) return;
    if (!::CloseHandle(h_.release())) throw EInOutError(SystemErrorText(::GetLastError()));
  }

 private:
  Handle h_;
};

}  // namespace

bool Win32Env::FileExists(const std::string& path) {
  const DWORD a = ::GetFileAttributesW(Wide(path).c_str());
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool Win32Env::DirectoryExists(const std::string& path) {
  const DWORD a = ::GetFileAttributesW(Wide(path).c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool Win32Env::CreateDirectory(const std::string& path) {
  return ::CreateDirectoryW(Wide(path).c_str(), nullptr) != 0;
}

std::vector<DirEntry> Win32Env::FindFiles(const std::string& pattern) {
  std::vector<DirEntry> found;
  WIN32_FIND_DATAW data;
  HANDLE h = ::FindFirstFileW(Wide(pattern).c_str(), &data);
  if (h == INVALID_HANDLE_VALUE) return found;
  do {
    found.push_back({Narrow(data.cFileName), data.dwFileAttributes});
  } while (::FindNextFileW(h, &data));
  ::FindClose(h);
  return found;
}

std::optional<uint32_t> Win32Env::GetAttributes(const std::string& path) {
  const DWORD a = ::GetFileAttributesW(Wide(path).c_str());
  if (a == INVALID_FILE_ATTRIBUTES) return std::nullopt;
  return a;
}

bool Win32Env::SetAttributes(const std::string& path, uint32_t attributes) {
  return ::SetFileAttributesW(Wide(path).c_str(), attributes) != 0;
}

std::unique_ptr<ReadableFile> Win32Env::OpenRead(const std::string& path, ShareMode share) {
  HANDLE h = ::CreateFileW(Wide(path).c_str(), GENERIC_READ, ShareFlags(share), nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE)
    throw EFOpenError(OpenErrorMessage(path, SystemErrorText(::GetLastError())));
  return std::make_unique<Win32ReadableFile>(h);
}

std::unique_ptr<WritableFile> Win32Env::Create(const std::string& path, ShareMode share) {
  HANDLE h = ::CreateFileW(Wide(path).c_str(), GENERIC_READ | GENERIC_WRITE, ShareFlags(share),
                           nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE)
    throw EFCreateError(CreateErrorMessage(path, SystemErrorText(::GetLastError())));
  return std::make_unique<Win32WritableFile>(h);
}

std::unique_ptr<WritableFile> Win32Env::CreateNew(const std::string& path, ShareMode share) {
  HANDLE h = ::CreateFileW(Wide(path).c_str(), GENERIC_READ | GENERIC_WRITE, ShareFlags(share),
                           nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h != INVALID_HANDLE_VALUE) return std::make_unique<Win32WritableFile>(h);
  const DWORD error = ::GetLastError();
  if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) return nullptr;
  // A folder of that name refuses access rather than saying it exists.
  if (error == ERROR_ACCESS_DENIED && ::GetFileAttributesW(Wide(path).c_str()) != INVALID_FILE_ATTRIBUTES) return nullptr;
  throw EFCreateError(CreateErrorMessage(path, SystemErrorText(error)));
}

bool Win32Env::DeleteFile(const std::string& path) {
  return ::DeleteFileW(Wide(path).c_str()) != 0;
}

bool Win32Env::CopyFile(const std::string& from, const std::string& to, bool fail_if_exists) {
  return ::CopyFileW(Wide(from).c_str(), Wide(to).c_str(), fail_if_exists ? TRUE : FALSE) != 0;
}

bool Win32Env::MoveFileReplace(const std::string& from, const std::string& to) {
  return ::MoveFileExW(Wide(from).c_str(), Wide(to).c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

std::optional<DosDateTime> Win32Env::GetLastWriteDos(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!::GetFileAttributesExW(Wide(path).c_str(), GetFileExInfoStandard, &data))
    return std::nullopt;
  // The zone's offset on that date, not today's (FileTimeToLocalFileTime):
  // otherwise every change to or from summer time would shift every listed
  // time by an hour, and the listing would no longer give back what was stamped.
  SYSTEMTIME utc, local;
  FILETIME local_time;
  WORD date = 0, time = 0;
  if (!::FileTimeToSystemTime(&data.ftLastWriteTime, &utc) ||
      !::SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local) ||
      !::SystemTimeToFileTime(&local, &local_time) ||
      !::FileTimeToDosDateTime(&local_time, &date, &time))
    return std::nullopt;
  return DosDateTime{date, time};
}

bool Win32Env::SetLastWriteDos(const std::string& path, DosDateTime when) {
  Handle h(::CreateFileW(Wide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                         nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!h.valid()) return false;
  return SetLastWriteOf(h.get(), when);
}

std::string Win32Env::ExecutablePath() {
  std::wstring buf(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = ::GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
    if (n == 0) return std::string();
    if (n < buf.size()) return Narrow(std::wstring_view(buf.data(), n));
    buf.resize(buf.size() * 2);
  }
}

}  // namespace selvane
