#pragma once
// Test support: a repository folder in a temporary directory, with files of
// chosen content and MS-DOS times, and the Env that the server reads it through.


#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>

#include "platform/posix_env.h"
#include "testing/scratch_dir.h"

namespace selvane::refserver {

// 2024-03-15 10:30:00 and 10:30:02 local time.
inline constexpr DosDateTime kTime1{static_cast<uint16_t>((44 << 9) | (3 << 5) | 15),
                                    static_cast<uint16_t>((10 << 11) | (30 << 5) | 0)};
inline constexpr DosDateTime kTime2{kTime1.date, static_cast<uint16_t>(kTime1.time + 1)};

class TestRepository {
 public:
  TestRepository() : scratch_("selvane-repo"), dir_(scratch_.path()), env_(std::make_unique<PosixEnv>(dir_)) {}
  ~TestRepository() { env_.reset(); }
  TestRepository(const TestRepository&) = delete;
  TestRepository& operator=(const TestRepository&) = delete;

  // relative: "ECF/VendraECF.exe", "NFCE/Schemas/a.xsd", "updater/Selvane.exe".
  void Add(const std::string& relative, const std::string& content, DosDateTime when = kTime1) {
    const std::filesystem::path p = std::filesystem::path(dir_) / relative;
    std::filesystem::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << content;
    std::string windows = "C:\\" + relative;
    for (char& c : windows) c = c == '/' ? '\\' : c;
    if (!env_->SetLastWriteDos(windows, when)) throw std::runtime_error("cannot stamp " + relative);
  }
  void AddFolder(const std::string& relative) {
    std::filesystem::create_directories(std::filesystem::path(dir_) / relative);
  }

  const std::string& dir() const { return dir_; }
  PosixEnv& env() { return *env_; }

 private:
  ScratchDir scratch_;
  std::string dir_;
  std::unique_ptr<PosixEnv> env_;
};

}  // namespace selvane::refserver
