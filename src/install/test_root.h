#pragma once
// Test support: a temporary folder standing for drive C: behind the native Env,
// the system stand-ins in front of it, the waits recorded instead of slept and
// a log of the steps that reach outside the file system.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "platform/posix_env.h"
#include "testing/recording_system_env.h"
#include "testing/scratch_dir.h"

namespace selvane {

// Records SleepMs instead of sleeping, and logs the calls a test wants to order.
class RecordingEnv : public RecordingSystemEnv {
 public:
  using RecordingSystemEnv::RecordingSystemEnv;

  void SleepMs(uint32_t ms) override { Log("sleep " + std::to_string(ms)); }
  bool RunHidden(const std::string& command_line, const std::string& current_folder) override {
    Log("run " + command_line);
    return RecordingSystemEnv::RunHidden(command_line, current_folder);
  }
  bool AddFontResource(const std::string& path) override {
    Log("font " + path);
    return RecordingSystemEnv::AddFontResource(path);
  }
  void BroadcastFontChange() override {
    Log("broadcast");
    RecordingSystemEnv::BroadcastFontChange();
  }
  bool CopyFile(const std::string& from, const std::string& to, bool fail_if_exists) override {
    Log("copy " + from + " " + to);
    return RecordingSystemEnv::CopyFile(from, to, fail_if_exists);
  }

  void Log(std::string entry) {
    std::lock_guard<std::mutex> lock(log_mu_);
    log_.push_back(std::move(entry));
  }
  std::vector<std::string> log() const {
    std::lock_guard<std::mutex> lock(log_mu_);
    return log_;
  }
  void ClearLog() {
    std::lock_guard<std::mutex> lock(log_mu_);
    log_.clear();
  }

 private:
  mutable std::mutex log_mu_;
  std::vector<std::string> log_;
};

class TestRoot {
 public:
  TestRoot()
      : scratch_("selvane-install"),
        dir_(scratch_.path()),
        native_(std::make_unique<PosixEnv>(dir_)),
        env_(std::make_unique<RecordingEnv>(native_.get())) {}
  ~TestRoot() {
    env_.reset();
    native_.reset();
  }
  TestRoot(const TestRoot&) = delete;
  TestRoot& operator=(const TestRoot&) = delete;

  RecordingEnv& env() { return *env_; }
  // The native Env behind the stand-ins.
  PosixEnv& native() { return *native_; }
  const std::string& dir() const { return dir_; }

  // Creates every level of a Windows folder path.
  void MakeDir(const std::string& path) {
    for (size_t at = path.find('\\', 3); ; at = path.find('\\', at + 1)) {
      env_->CreateDirectory(path.substr(0, at));
      if (at == std::string::npos) break;
    }
  }
  void Write(const std::string& path, const std::string& bytes) {
    auto f = env_->Create(path, ShareMode::kExclusive);
    f->Write(bytes.data(), bytes.size());
    f->Close();
  }
  std::string Read(const std::string& path) {
    auto f = env_->OpenRead(path, ShareMode::kReadWrite);
    std::string out;
    char buf[4096];
    for (size_t n; (n = f->Read(buf, sizeof buf)) != 0;) out.append(buf, n);
    return out;
  }
  std::string HostPath(const std::string& path) { return native_->HostPath(path).value(); }
  // Every file below the root, as host paths relative to it.
  std::vector<std::string> AllFiles() const {
    std::vector<std::string> out;
    for (auto& e : std::filesystem::recursive_directory_iterator(dir_)) {
      if (e.is_regular_file()) out.push_back(std::filesystem::relative(e.path(), dir_).string());
    }
    std::sort(out.begin(), out.end());
    return out;
  }

 private:
  ScratchDir scratch_;
  std::string dir_;
  std::unique_ptr<PosixEnv> native_;
  std::unique_ptr<RecordingEnv> env_;
};

}  // namespace selvane
