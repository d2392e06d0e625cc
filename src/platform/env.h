#pragma once
// The one door to the operating system. Everything the updater asks of Windows
// (files, profile strings, processes, the shell, the registry, fonts, the ANSI
// code page, threads, sleeping) goes through Env, so that the portable code can
// run natively against the POSIX implementation and tests can put a recording
// or fault-injecting wrapper in front of either implementation.
//
// Paths are Windows paths ("C:\Kavel\ECF\VendraECF.exe") in UTF-8; the POSIX
// implementation maps them below a root folder given to it.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "base/code_page.h"
#include "base/dos_time.h"
#include "base/file_attributes.h"
#include "base/file_stream.h"

// <windows.h> turns these names into macros for its W functions; wherever Env
// is seen they must name Env's methods (call the API as CopyFileW and so on).
#ifdef _WIN32
#undef AddFontResource
#undef CopyFile
#undef CreateDirectory
#undef DeleteFile
#undef RemoveDirectory
#undef GetProfileString
#undef WriteProfileString
#endif

namespace selvane {

struct DirEntry {
  std::string name;  // without folder
  uint32_t attributes = 0;
};

struct ProcessInfo {
  uint32_t pid = 0;
  std::string exe_name;  // as the process snapshot reports it
};

// Sharing granted to other openers while a file is held.
enum class ShareMode { kExclusive, kReadWrite };

// Failures of the file layer, carrying the file layer's own texts:
//   Cannot open file "<path>". <system error text>
//   Cannot create file "<path>". <system error text>
class EFileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};
class EFOpenError : public EFileError {
 public:
  using EFileError::EFileError;
};
class EFCreateError : public EFileError {
 public:
  using EFileError::EFileError;
};
// A read or write on an open file failed.
class EInOutError : public EFileError {
 public:
  using EFileError::EFileError;
};

enum class ThreadPriority { kNormal, kAboveNormal };

// Env is the code page of its platform too (CodePage::ToAnsi / FromAnsi).
class Env : public CodePage {
 public:
  virtual ~Env() = default;

  // --- Files and folders -------------------------------------------------
  virtual bool FileExists(const std::string& path) = 0;       // a file, not a folder
  virtual bool DirectoryExists(const std::string& path) = 0;  // trailing backslash allowed
  virtual bool CreateDirectory(const std::string& path) = 0;  // one level; false if it fails
  // Every entry matching the pattern ("C:\folder\*.*"), "." and ".." included,
  // with its attributes; an empty list when the folder does not exist.
  virtual std::vector<DirEntry> FindFiles(const std::string& pattern) = 0;
  virtual std::optional<uint32_t> GetAttributes(const std::string& path) = 0;
  virtual bool SetAttributes(const std::string& path, uint32_t attributes) = 0;
  // Opens for reading; throws EFOpenError.
  virtual std::unique_ptr<ReadableFile> OpenRead(const std::string& path, ShareMode share) = 0;
  // Creates anew or empties an existing file, for writing; throws EFCreateError.
  virtual std::unique_ptr<WritableFile> Create(const std::string& path, ShareMode share) = 0;
  virtual bool DeleteFile(const std::string& path) = 0;
  virtual bool CopyFile(const std::string& from, const std::string& to, bool fail_if_exists) = 0;
  // Renames a file, replacing an existing target in one step.
  virtual bool MoveFileReplace(const std::string& from, const std::string& to) = 0;
  // Last-write time as the MS-DOS packed date-time in local time.
  virtual std::optional<DosDateTime> GetLastWriteDos(const std::string& path) = 0;
  // Opens the file for writing with read/write sharing and sets its last-write
  // time from a local MS-DOS date-time; false if the file cannot be opened or
  // the value cannot be converted or set.
  virtual bool SetLastWriteDos(const std::string& path, DosDateTime when) = 0;
  // Full path of the running executable.
  virtual std::string ExecutablePath() = 0;

  // --- Profile (INI) files: GetPrivateProfileString / WritePrivateProfileString
  virtual std::string GetProfileString(const std::string& file, const std::string& section,
                                       const std::string& key, const std::string& fallback) = 0;
  virtual bool WriteProfileString(const std::string& file, const std::string& section,
                                  const std::string& key, const std::string& value) = 0;

  // --- Processes ---------------------------------------------------------
  virtual std::vector<ProcessInfo> SnapshotProcesses() = 0;
  // Opens the process with the terminate right and terminates it.
  virtual bool TerminateProcess(uint32_t pid, uint32_t exit_code) = 0;
  // Runs a command line of the command interpreter ("cmd.exe /c ...") hidden,
  // without a console window and without waiting, with `current_folder` as its
  // current folder. The interpreter is always the system's own
  // (<system folder>\cmd.exe), never one found in the current folder or beside
  // the executable; a line that does not start with "cmd.exe " is refused.
  // False if nothing was started.
  virtual bool RunHidden(const std::string& command_line, const std::string& current_folder) = 0;

  // --- Fonts, shell links, registry -------------------------------------
  virtual bool AddFontResource(const std::string& path) = 0;
  // WM_FONTCHANGE to all top-level windows, returning once it has been delivered.
  virtual void BroadcastFontChange() = 0;
  // Creates a shell link object and saves a link with exactly these three
  // properties. Throws std::runtime_error when the object cannot be created;
  // the results of the setters and of saving are ignored.
  virtual void SaveShellLink(const std::string& link_path, const std::string& target,
                             const std::string& arguments, const std::string& working_dir) = 0;
  // A string value under HKEY_CURRENT_USER; nullopt when absent.
  virtual std::optional<std::string> ReadCurrentUserString(const std::string& key,
                                                           const std::string& value) = 0;

  // --- Threads and time --------------------------------------------------
  virtual void SleepMs(uint32_t ms) = 0;
  // Starts fn on a new thread with the given priority; the thread is detached.
  virtual void StartThread(std::function<void()> fn, ThreadPriority priority) = 0;

  // --- Putting fetched files in place -------------------------------------
  // True when both paths name one existing file, however each is spelled
  // (letter case as the file system folds it, 8.3 aliases): the file system's
  // identity of the file (volume and file index on Windows, device and inode
  // natively), not the names. False when either is missing.
  virtual bool SameFile(const std::string& a, const std::string& b) = 0;
  // Removes an empty folder; false if it fails.
  virtual bool RemoveDirectory(const std::string& path) = 0;
  // MoveFileReplace that keeps the system's reason: empty on success,
  // otherwise the system's own text for the failure.
  virtual std::string MoveFileReplaceReason(const std::string& from, const std::string& to) = 0;
  // MoveFileReplaceReason when no file or folder is named `to` (in any
  // spelling); nullopt, moving nothing, when one is. One lookup of `to` where
  // a check before the move would be two, which counts in a large folder.
  virtual std::optional<std::string> MoveFileToFreeName(const std::string& from, const std::string& to) = 0;
  // Create for a name nothing holds yet: a new, empty file for writing;
  // nullptr, touching nothing, when a file or folder already has the name (in
  // any spelling). One lookup of the name, as MoveFileToFreeName. Throws
  // EFCreateError for every other failure.
  virtual std::unique_ptr<WritableFile> CreateNew(const std::string& path, ShareMode share) = 0;
  // The programs that hold the file open, by the names the system gives them
  // (the Restart Manager's on Windows); empty when none is known.
  virtual std::vector<std::string> ProgramsHoldingFile(const std::string& path) = 0;
};

// The overrides an implementation declares, listed once so that every Env
// declares the same set: the file operations; the system services that a
// host without Windows answers with stand-ins; profile strings, the code page,
// sleeping and threads.
#define SELVANE_ENV_FILE_OPERATIONS                                                          \
  bool FileExists(const std::string& path) override;                                        \
  bool DirectoryExists(const std::string& path) override;                                   \
  bool CreateDirectory(const std::string& path) override;                                   \
  std::vector<DirEntry> FindFiles(const std::string& pattern) override;                     \
  std::optional<uint32_t> GetAttributes(const std::string& path) override;                  \
  bool SetAttributes(const std::string& path, uint32_t attributes) override;                \
  std::unique_ptr<ReadableFile> OpenRead(const std::string& path, ShareMode share) override; \
  std::unique_ptr<WritableFile> Create(const std::string& path, ShareMode share) override;   \
  bool DeleteFile(const std::string& path) override;                                        \
  bool CopyFile(const std::string& from, const std::string& to, bool fail_if_exists) override; \
  bool MoveFileReplace(const std::string& from, const std::string& to) override;            \
  std::optional<DosDateTime> GetLastWriteDos(const std::string& path) override;            \
  bool SetLastWriteDos(const std::string& path, DosDateTime when) override;

#define SELVANE_ENV_PLACING_OPERATIONS                                                      \
  bool SameFile(const std::string& a, const std::string& b) override;                       \
  bool RemoveDirectory(const std::string& path) override;                                   \
  std::string MoveFileReplaceReason(const std::string& from, const std::string& to) override; \
  std::optional<std::string> MoveFileToFreeName(const std::string& from, const std::string& to) override; \
  std::unique_ptr<WritableFile> CreateNew(const std::string& path, ShareMode share) override;

#define SELVANE_ENV_FILE_HOLDERS \
  std::vector<std::string> ProgramsHoldingFile(const std::string& path) override;

#define SELVANE_ENV_SYSTEM_SERVICES                                                 \
  std::string ExecutablePath() override;                                           \
  std::vector<ProcessInfo> SnapshotProcesses() override;                           \
  bool TerminateProcess(uint32_t pid, uint32_t exit_code) override;                \
  bool RunHidden(const std::string& command_line, const std::string& current_folder) override; \
  bool AddFontResource(const std::string& path) override;                          \
  void BroadcastFontChange() override;                                             \
  void SaveShellLink(const std::string& link_path, const std::string& target,      \
                     const std::string& arguments, const std::string& working_dir) override; \
  std::optional<std::string> ReadCurrentUserString(const std::string& key,         \
                                                   const std::string& value) override;

#define SELVANE_ENV_PROFILE_CODE_PAGE_AND_THREADS                                          \
  std::string GetProfileString(const std::string& file, const std::string& section,         \
                               const std::string& key, const std::string& fallback) override; \
  bool WriteProfileString(const std::string& file, const std::string& section,              \
                          const std::string& key, const std::string& value) override;       \
  std::string ToAnsi(std::string_view utf8) override;                                       \
  std::string FromAnsi(std::string_view ansi) override;                                     \
  void SleepMs(uint32_t ms) override;                                                       \
  void StartThread(std::function<void()> fn, ThreadPriority priority) override;

// The platform's own implementation: Win32 on Windows.
Env* DefaultEnv();

// The native Env (platform/posix_env.h): maps "C:\..." onto root (which must
// not be "/"), uses Windows-1252 as the code page and the process's local time
// zone; it has none of Windows' system services.
std::unique_ptr<Env> NewPosixEnv(const std::string& root);

// Forwards every call to a target; tests override what they want to observe or break.
class EnvWrapper;  // see env_wrapper.h

}  // namespace selvane
