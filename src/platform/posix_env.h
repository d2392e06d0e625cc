#pragma once
// The native Env: the tools' Env on Linux, and what the native tests run the
// portable code against.
//
// Files: "C:\..." (drive letter in either case, backslashes or slashes) maps
// below the root folder; names are matched without regard to ASCII letter
// case, as on Windows; other drives, relative and UNC paths reach nothing.
// Share modes are approximated inside this Env: an exclusive handle keeps every
// other open of the same file out, and an open handle blocks deleting,
// renaming or overwriting the file. Hidden, system and read-only attributes
// live in a table of this Env (read-only also clears the write bits of the
// file's mode); other files report kAttrArchive. A read-only, hidden or system
// file refuses to be overwritten and a read-only one to be deleted, as on Windows.
// Times: MS-DOS two-second times in the process's time zone (TZ).
// Profile files: GetPrivateProfileString / WritePrivateProfileString semantics,
// the file stored in the code page. Code page: Windows-1252; where Windows
// would pick a best-fit look-alike for a missing character ("ā" -> "a") this
// Env gives '?'.
// Threads: StartThread runs a detached std::thread (priority ignored);
// SleepMs really sleeps.
//
// Linux has no Windows processes, fonts, shell links, registry or Windows
// path of the running program: those calls answer as FilesOnlyEnv documents
// (failure, never a pretended success). Tests that need them put a
// RecordingSystemEnv (testing/recording_system_env.h) in front.

#include <sys/stat.h>

#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "platform/files_only_env.h"
#include "platform/folder_name_index.h"
#include "platform/open_file_table.h"

namespace selvane {

class PosixEnv : public FilesOnlyEnv {
 public:
  // Throws std::invalid_argument for an empty root or "/".
  explicit PosixEnv(std::string root);
  ~PosixEnv() override;

  // --- Env ---
  SELVANE_ENV_FILE_OPERATIONS
  SELVANE_ENV_PLACING_OPERATIONS

  // --- Native extras ---
  const std::string& root() const { return root_; }
  // The host path a Windows path maps to (existing components matched without
  // case); nullopt for paths outside the mapped drive.
  std::optional<std::string> HostPath(const std::string& path) const;

 private:
  struct Resolved {
    std::string host;
    bool folder_exists = false;  // the folder that would hold it
    bool is_root = false;
    // What the path names, as stat (following links) saw it while resolving.
    bool exists = false;
    struct stat st = {};
    bool IsFile() const { return exists && S_ISREG(st.st_mode); }
    bool IsFolder() const { return exists && S_ISDIR(st.st_mode); }
  };
  std::optional<Resolved> Resolve(const std::string& path) const;
  uint32_t AttributesOf(const std::string& host, const struct stat& st) const;
  bool RefusesOverwrite(const Resolved& r) const;
  bool IsReadOnlyFile(const Resolved& r) const;

  const std::string root_;
  OpenFileTable open_files_;
  mutable FolderNameIndex names_;

  mutable std::mutex mu_;
  std::map<std::string, uint32_t> attributes_;  // host path -> attributes set
};

}  // namespace selvane
