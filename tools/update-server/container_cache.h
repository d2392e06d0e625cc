#pragma once
// Containers of the repository's files, made once per file version (host
// path, size, last-write time) and shared by every client that fetches that
// version. They are kept in memory or, with a cache folder, in files there,
// so that a restart does not compress again. A background thread makes them
// ahead: for every file at start, and again for a file whose version changed
// since (the folders are looked at again every `rescan` interval).

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "base/ole_variant.h"
#include "platform/env.h"

namespace selvane::refserver {

// One container, never changed once made.
class CachedContainer {
 public:
  static std::shared_ptr<const CachedContainer> InMemory(Bytes bytes);
  static std::shared_ptr<const CachedContainer> InFile(std::string host_path, uint64_t size);

  uint64_t size() const { return size_; }
  // Bytes [offset, offset + n): a span into memory, or read into `buffer`.
  std::span<const uint8_t> Read(uint64_t offset, size_t n, Bytes& buffer) const;

 private:
  Bytes bytes_;
  std::string file_;
  uint64_t size_ = 0;
};

// What identifies a file version.
struct FileVersion {
  std::string host_path;
  uint64_t size = 0;
  int64_t mtime_ns = 0;
  friend bool operator==(const FileVersion&, const FileVersion&) = default;
};

class ContainerCache {
 public:
  // env reads the files (paths as the repository gives them); host_root is
  // the repository folder on this machine, where versions are looked up.
  // cache_dir empty: containers stay in memory.
  ContainerCache(Env& env, std::string host_root, std::string cache_dir);
  ~ContainerCache();
  ContainerCache(const ContainerCache&) = delete;
  ContainerCache& operator=(const ContainerCache&) = delete;

  // The container of the file at `path` (Env path) named `name`, made now
  // when no thread has made this version yet; nullptr when the file's
  // version cannot be read (the caller then reads the file itself and
  // reports what fails).
  std::shared_ptr<const CachedContainer> Get(const std::string& path, const std::string& name);

  // Starts the background thread over the files that `list` gives (Env path, name).
  using FileList = std::function<std::vector<std::pair<std::string, std::string>>()>;
  void StartAhead(FileList list, uint32_t rescan_ms);
  void Stop();

  // Containers made so far (compressed here, not found in the cache folder), for tests.
  uint64_t made() const;
  // Waits until the background thread has gone through the files `passes` times.
  void WaitForPasses(uint64_t passes);
  uint64_t passes() const;

 private:
  struct Slot {
    FileVersion version;
    std::shared_ptr<const CachedContainer> container;
    bool making = false;
  };
  std::optional<FileVersion> VersionOf(const std::string& path) const;
  std::shared_ptr<const CachedContainer> Make(const std::string& path, const std::string& name,
                                              const FileVersion& version);
  void Ahead(FileList list, uint32_t rescan_ms);

  Env& env_;
  std::string host_root_;
  std::string cache_dir_;
  mutable std::mutex mu_;
  std::condition_variable changed_;
  std::map<std::string, Slot> slots_;  // by host path
  uint64_t made_ = 0;
  uint64_t passes_ = 0;
  bool stopping_ = false;
  std::thread ahead_;
};

}  // namespace selvane::refserver
