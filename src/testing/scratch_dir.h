#pragma once
// A fresh folder under the system's temporary directory, removed with
// everything in it when the object goes away. For native tests, tools and
// benchmarks that give a POSIX Env a root of its own.

#include <stdlib.h>

#include <filesystem>
#include <stdexcept>
#include <string>

namespace selvane {

class ScratchDir {
 public:
  // prefix names the folder ("selvane-install" gives /tmp/selvane-install-XXXXXX).
  explicit ScratchDir(const std::string& prefix) {
    std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot create a folder in " + pattern);
    path_ = pattern;
  }
  ~ScratchDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace selvane
