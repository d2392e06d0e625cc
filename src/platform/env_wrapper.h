#pragma once
// An Env that forwards every call to a target Env. Tests derive from it and
// override only what they want to observe or break, leaving the rest real.

#include "platform/env.h"

namespace selvane {

class EnvWrapper : public Env {
 public:
  // target must outlive the wrapper.
  explicit EnvWrapper(Env* target) : target_(target) {}
  Env* target() const { return target_; }

  bool FileExists(const std::string& path) override { return target_->FileExists(path); }
  bool DirectoryExists(const std::string& path) override { return target_->DirectoryExists(path); }
  bool CreateDirectory(const std::string& path) override { return target_->CreateDirectory(path); }
  std::vector<DirEntry> FindFiles(const std::string& pattern) override {
    return target_->FindFiles(pattern);
  }
  std::optional<uint32_t> GetAttributes(const std::string& path) override {
    return target_->GetAttributes(path);
  }
  bool SetAttributes(const std::string& path, uint32_t attributes) override {
    return target_->SetAttributes(path, attributes);
  }
  std::unique_ptr<ReadableFile> OpenRead(const std::string& path, ShareMode share) override {
    return target_->OpenRead(path, share);
  }
  std::unique_ptr<WritableFile> Create(const std::string& path, ShareMode share) override {
    return target_->Create(path, share);
  }
  bool DeleteFile(const std::string& path) override { return target_->DeleteFile(path); }
  bool CopyFile(const std::string& from, const std::string& to, bool fail_if_exists) override {
    return target_->CopyFile(from, to, fail_if_exists);
  }
  bool MoveFileReplace(const std::string& from, const std::string& to) override {
    return target_->MoveFileReplace(from, to);
  }
  std::optional<DosDateTime> GetLastWriteDos(const std::string& path) override {
    return target_->GetLastWriteDos(path);
  }
  bool SetLastWriteDos(const std::string& path, DosDateTime when) override {
    return target_->SetLastWriteDos(path, when);
  }
  std::string ExecutablePath() override { return target_->ExecutablePath(); }

  std::string GetProfileString(const std::string& file, const std::string& section,
                               const std::string& key, const std::string& fallback) override {
    return target_->GetProfileString(file, section, key, fallback);
  }
  bool WriteProfileString(const std::string& file, const std::string& section,
                          const std::string& key, const std::string& value) override {
    return target_->WriteProfileString(file, section, key, value);
  }

  std::vector<ProcessInfo> SnapshotProcesses() override { return target_->SnapshotProcesses(); }
  bool TerminateProcess(uint32_t pid, uint32_t exit_code) override {
    return target_->TerminateProcess(pid, exit_code);
  }
  bool RunHidden(const std::string& command_line, const std::string& current_folder) override {
    return target_->RunHidden(command_line, current_folder);
  }

  bool AddFontResource(const std::string& path) override { return target_->AddFontResource(path); }
  void BroadcastFontChange() override { target_->BroadcastFontChange(); }
  void SaveShellLink(const std::string& link_path, const std::string& target,
                     const std::string& arguments, const std::string& working_dir) override {
    target_->SaveShellLink(link_path, target, arguments, working_dir);
  }
  std::optional<std::string> ReadCurrentUserString(const std::string& key,
                                                    const std::string& value) override {
    return target_->ReadCurrentUserString(key, value);
  }

  std::string ToAnsi(std::string_view utf8) override { return target_->ToAnsi(utf8); }
  std::string FromAnsi(std::string_view ansi) override { return target_->FromAnsi(ansi); }

  void SleepMs(uint32_t ms) override { target_->SleepMs(ms); }
  void StartThread(std::function<void()> fn, ThreadPriority priority) override {
    target_->StartThread(std::move(fn), priority);
  }

  bool SameFile(const std::string& a, const std::string& b) override { return target_->SameFile(a, b); }
  bool RemoveDirectory(const std::string& path) override { return target_->RemoveDirectory(path); }
  std::string MoveFileReplaceReason(const std::string& from, const std::string& to) override {
    return target_->MoveFileReplaceReason(from, to);
  }
  std::optional<std::string> MoveFileToFreeName(const std::string& from, const std::string& to) override {
    return target_->MoveFileToFreeName(from, to);
  }
  std::unique_ptr<WritableFile> CreateNew(const std::string& path, ShareMode share) override {
    return target_->CreateNew(path, share);
  }
  std::vector<std::string> ProgramsHoldingFile(const std::string& path) override {
    return target_->ProgramsHoldingFile(path);
  }

 private:
  Env* const target_;
};

}  // namespace selvane
