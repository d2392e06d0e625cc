#pragma once
// An Env that holds drive C: in memory, for tests, fuzz targets and
// benchmarks. It passes the same contract cases as the native and the Windows
// Env (testing/env_contract.h): names matched without letter case, share
// modes, attributes that refuse overwriting and deleting, the file layer's
// error texts, MS-DOS times, profile strings and the Windows-1252 code page.
// Other drives, relative and UNC paths reach nothing.
//
// Time is injected: new and written files take the Env's clock, which starts
// at 2024-01-02 10:00:00 local time and moves only by SetNow and SleepMs
// (which counts the wait and returns at once). StartThread runs a detached
// std::thread. The system services answer as FilesOnlyEnv says; put a
// RecordingSystemEnv in front for tests that need them.

#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/dos_time.h"
#include "platform/files_only_env.h"
#include "platform/open_file_table.h"

namespace selvane {

class MemoryEnv : public FilesOnlyEnv {
 public:
  MemoryEnv();
  ~MemoryEnv() override;

  // --- Env ---
  SELVANE_ENV_FILE_OPERATIONS
  SELVANE_ENV_PLACING_OPERATIONS
  // Counts the wait and moves the clock on; never sleeps.
  void SleepMs(uint32_t ms) override;

  // --- For tests ---
  // Creates every missing level of a folder path ("C:\Kavel\ECF\").
  void MakeDirs(const std::string& folder);
  // Creates the file's folders and the file with these bytes.
  void PutFile(const std::string& path, std::string_view bytes);
  // A file's bytes, whoever holds it open; nullopt when it is not a file.
  std::optional<std::string> Contents(const std::string& path) const;
  // Every file and every folder below C:\, as spelled, sorted.
  std::vector<std::string> Files() const;
  std::vector<std::string> Folders() const;
  // The clock (a TDateTime in local time) that new and written files take.
  void SetNow(double when);
  double Now() const;
  int Sleeps() const;
  uint64_t SleptMs() const;

 private:
  struct Node {
    std::string name;  // as spelled when made or last renamed
    bool folder = false;
    uint32_t attributes = 0;  // the stored bits: read-only, hidden, system, archive
    std::string bytes;
    DosDateTime written;
  };
  // Where a path leads: its key (upper-cased components) and its folder's.
  struct Place {
    std::string key;
    std::string folder_key;
    std::string name;  // the last component as spelled
    bool is_root = false;
  };
  class Readable;
  class Writable;

  std::optional<Place> Locate(const std::string& path) const;
  // The following need mu_ held.
  const Node* Find(const std::string& key) const;
  Node* Find(const std::string& key);
  bool FolderThere(const Place& p) const;
  bool RefusesOverwrite(const std::string& key) const;
  uint32_t AttributesOf(const Node& n) const;
  DosDateTime Stamp() const;
  std::string SpelledPath(const std::string& key) const;
  // Creates or empties a file that may be overwritten; false when it may not.
  bool Overwrite(const Place& p, std::string bytes);

  mutable std::mutex mu_;
  std::map<std::string, Node> nodes_;  // key -> node; every node's folder is there
  OpenFileTable open_files_;
  double now_;
  int sleeps_ = 0;
  uint64_t slept_ms_ = 0;
};

}  // namespace selvane
