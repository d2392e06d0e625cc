#pragma once
// An Env wrapper for tests that break the file layer on purpose: a disk that
// fills up after so many bytes, reads that fail part-way, files that cannot be
// created or opened, calls that report failure, and the Nth call of a kind
// failing, for campaigns that break every call of a step in turn. Everything
// not broken goes to the target Env, so a test sees exactly what survived the
// fault.

#include <array>
#include <cstddef>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/env_wrapper.h"
#include "platform/system_error_text.h"

namespace selvane {

class FaultInjectionEnv : public EnvWrapper {
 public:
  using EnvWrapper::EnvWrapper;

  static constexpr char kDiskFullText[] = "There is not enough space on the disk.";
  static constexpr char kDeviceErrorText[] =
      "The request could not be performed because of an I/O device error.";

  // Create / OpenRead of a path containing fragment throw with the system text given.
  void FailCreate(std::string fragment, std::string reason = kAccessDeniedText) {
    std::lock_guard lock(mu_);
    create_faults_.emplace_back(std::move(fragment), std::move(reason));
  }
  void FailOpenRead(std::string fragment, std::string reason = kSharingViolationText) {
    std::lock_guard lock(mu_);
    open_faults_.emplace_back(std::move(fragment), std::move(reason));
  }
  // Bytes written (all files together) beyond the limit fail as on a full
  // disk; the bytes before the limit reach the file.
  void LimitWrittenBytes(size_t limit) {
    std::lock_guard lock(mu_);
    write_budget_ = limit;
  }
  // Once this many bytes have been read (all files together), every further
  // read fails as a device error.
  void LimitReadBytes(size_t limit) {
    std::lock_guard lock(mu_);
    read_budget_ = limit;
  }
  // The file calls a campaign breaks one at a time.
  enum class Call { kCreate, kWrite, kMove, kSetTime, kDelete };
  static constexpr std::array<Call, 5> kCalls = {Call::kCreate, Call::kWrite, Call::kMove, Call::kSetTime,
                                                 Call::kDelete};
  // Counts every kind of call afresh from 0; the call numbered index of that
  // kind (over all files) then fails: Create throws "Cannot create file ...
  // Access is denied.", Write throws the full disk's text before writing
  // anything, MoveFileReplace (and MoveFileReplaceReason and MoveFileToFreeName,
  // with "Access is denied."), SetLastWriteDos (by path or on an open file) and DeleteFile report failure.
  void FailCall(Call kind, size_t index) {
    std::lock_guard lock(mu_);
    calls_ = {};
    fail_at_ = {kind, index};
  }
  // Counts afresh with no call failing (the campaign's dry run).
  void CountCalls() {
    std::lock_guard lock(mu_);
    calls_ = {};
    fail_at_.reset();
  }
  // How many calls of that kind were made since FailCall or CountCalls.
  size_t Calls(Call kind) const {
    std::lock_guard lock(mu_);
    return calls_[static_cast<size_t>(kind)];
  }

  // These calls report failure without reaching the target.
  bool fail_delete = false;
  bool fail_copy = false;
  bool fail_move = false;
  bool fail_set_time = false;
  bool fail_write_profile = false;
  bool fail_create_directory = false;

  std::unique_ptr<WritableFile> Create(const std::string& path, ShareMode share) override {
    if (Due(Call::kCreate)) throw EFCreateError(CreateErrorMessage(path, kAccessDeniedText));
    if (const std::string* reason = Matching(create_faults_, path))
      throw EFCreateError(CreateErrorMessage(path, *reason));
    return std::make_unique<Writable>(*this, EnvWrapper::Create(path, share));
  }
  // Counts and fails as Create: both make a file.
  std::unique_ptr<WritableFile> CreateNew(const std::string& path, ShareMode share) override {
    if (Due(Call::kCreate)) throw EFCreateError(CreateErrorMessage(path, kAccessDeniedText));
    if (const std::string* reason = Matching(create_faults_, path))
      throw EFCreateError(CreateErrorMessage(path, *reason));
    auto file = EnvWrapper::CreateNew(path, share);
    if (!file) return nullptr;
    return std::make_unique<Writable>(*this, std::move(file));
  }
  std::unique_ptr<ReadableFile> OpenRead(const std::string& path, ShareMode share) override {
    if (const std::string* reason = Matching(open_faults_, path))
      throw EFOpenError(OpenErrorMessage(path, *reason));
    return std::make_unique<Readable>(*this, EnvWrapper::OpenRead(path, share));
  }
  bool DeleteFile(const std::string& path) override {
    return !Due(Call::kDelete) && !fail_delete && EnvWrapper::DeleteFile(path);
  }
  bool CopyFile(const std::string& from, const std::string& to, bool fail_if_exists) override {
    return !fail_copy && EnvWrapper::CopyFile(from, to, fail_if_exists);
  }
  bool MoveFileReplace(const std::string& from, const std::string& to) override {
    return !Due(Call::kMove) && !fail_move && EnvWrapper::MoveFileReplace(from, to);
  }
  std::string MoveFileReplaceReason(const std::string& from, const std::string& to) override {
    if (Due(Call::kMove) || fail_move) return kAccessDeniedText;
    return EnvWrapper::MoveFileReplaceReason(from, to);
  }
  std::optional<std::string> MoveFileToFreeName(const std::string& from, const std::string& to) override {
    if (Due(Call::kMove) || fail_move) return kAccessDeniedText;
    return EnvWrapper::MoveFileToFreeName(from, to);
  }
  bool SetLastWriteDos(const std::string& path, DosDateTime when) override {
    return !Due(Call::kSetTime) && !fail_set_time && EnvWrapper::SetLastWriteDos(path, when);
  }
  bool WriteProfileString(const std::string& file, const std::string& section,
                          const std::string& key, const std::string& value) override {
    return !fail_write_profile && EnvWrapper::WriteProfileString(file, section, key, value);
  }
  bool CreateDirectory(const std::string& path) override {
    return !fail_create_directory && EnvWrapper::CreateDirectory(path);
  }

 private:
  using Faults = std::vector<std::pair<std::string, std::string>>;

  // Counts a call; true when it is the one to fail.
  bool Due(Call kind) {
    std::lock_guard lock(mu_);
    const size_t index = calls_[static_cast<size_t>(kind)]++;
    return fail_at_ && fail_at_->first == kind && fail_at_->second == index;
  }
  const std::string* Matching(const Faults& faults, const std::string& path) {
    std::lock_guard lock(mu_);
    for (const auto& [fragment, reason] : faults)
      if (path.find(fragment) != std::string::npos) return &reason;
    return nullptr;
  }
  // How many of n bytes the budget still allows.
  size_t Allowed(const size_t& budget, size_t n) {
    std::lock_guard lock(mu_);
    return n < budget ? n : budget;
  }
  void Spend(size_t& budget, size_t n) {
    std::lock_guard lock(mu_);
    budget -= n < budget ? n : budget;
  }

  class Writable : public WritableFile {
   public:
    Writable(FaultInjectionEnv& env, std::unique_ptr<WritableFile> target)
        : env_(env), target_(std::move(target)) {}
    void Write(const void* buf, size_t n) override {
      if (env_.Due(Call::kWrite)) throw EInOutError(kDiskFullText);
      const size_t allowed = env_.Allowed(env_.write_budget_, n);
      if (allowed > 0) target_->Write(buf, allowed);
      env_.Spend(env_.write_budget_, allowed);
      if (allowed < n) throw EInOutError(kDiskFullText);
    }
    bool SetLastWriteDos(DosDateTime when) override {
      return !env_.Due(Call::kSetTime) && !env_.fail_set_time && target_->SetLastWriteDos(when);
    }
    void Close() override { target_->Close(); }

   private:
    FaultInjectionEnv& env_;
    std::unique_ptr<WritableFile> target_;
  };

  class Readable : public ReadableFile {
   public:
    Readable(FaultInjectionEnv& env, std::unique_ptr<ReadableFile> target)
        : env_(env), target_(std::move(target)) {}
    size_t Read(void* buf, size_t n) override {
      if (n == 0) return 0;
      const size_t allowed = env_.Allowed(env_.read_budget_, n);
      if (allowed == 0) throw EInOutError(kDeviceErrorText);
      const size_t got = target_->Read(buf, allowed);
      env_.Spend(env_.read_budget_, got);
      return got;
    }

   private:
    FaultInjectionEnv& env_;
    std::unique_ptr<ReadableFile> target_;
  };

  mutable std::mutex mu_;
  std::array<size_t, kCalls.size()> calls_ = {};
  std::optional<std::pair<Call, size_t>> fail_at_;
  Faults create_faults_;
  Faults open_faults_;
  size_t write_budget_ = static_cast<size_t>(-1);
  size_t read_budget_ = static_cast<size_t>(-1);
};

}  // namespace selvane
