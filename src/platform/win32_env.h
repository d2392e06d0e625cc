#pragma once
// The Windows Env: every call goes to the Win32 API of the same purpose.
// Windows-only; portable code reaches it through DefaultEnv().

#include "platform/env.h"

namespace selvane {

class Win32Env : public Env {
 public:
  bool FileExists(const std::string& path) override;
  bool DirectoryExists(const std::string& path) override;
  bool CreateDirectory(const std::string& path) override;
  std::vector<DirEntry> FindFiles(const std::string& pattern) override;
  std::optional<uint32_t> GetAttributes(const std::string& path) override;
  bool SetAttributes(const std::string& path, uint32_t attributes) override;
  std::unique_ptr<ReadableFile> OpenRead(const std::string& path, ShareMode share) override;
  std::unique_ptr<WritableFile> Create(const std::string& path, ShareMode share) override;
  bool DeleteFile(const std::string& path) override;
  bool CopyFile(const std::string& from, const std::string& to, bool fail_if_exists) override;
  bool MoveFileReplace(const std::string& from, const std::string& to) override;
  std::optional<DosDateTime> GetLastWriteDos(const std::string& path) override;
  bool SetLastWriteDos(const std::string& path, DosDateTime when) override;
  std::string ExecutablePath() override;
  std::string GetProfileString(const std::string& file, const std::string& section,
                               const std::string& key, const std::string& fallback) override;
  bool WriteProfileString(const std::string& file, const std::string& section,
                          const std::string& key, const std::string& value) override;
  std::vector<ProcessInfo> SnapshotProcesses() override;
  bool TerminateProcess(uint32_t pid, uint32_t exit_code) override;
  bool RunHidden(const std::string& command_line) override;
  bool AddFontResource(const std::string& path) override;
  void BroadcastFontChange() override;
  void SaveShellLink(const std::string& link_path, const std::string& target,
                     const std::string& arguments, const std::string& working_dir) override;
  std::optional<std::string> ReadCurrentUserString(const std::string& key,
                                                   const std::string& value) override;
  std::string ToAnsi(std::string_view utf8) override;
  std::string FromAnsi(std::string_view ansi) override;
  void SleepMs(uint32_t ms) override;
  void StartThread(std::function<void()> fn, ThreadPriority priority) override;
};

}  // namespace selvane
