#pragma once
// Case-insensitive look-up of names in host folders for the native Env. A
// folder is read once; after that the kernel's change notices (inotify) keep
// its index current, whoever changes the folder, and are taken in before
// every answer. A name not yet present, as every new file of a folder step
// is, then costs a hash look-up instead of a read of the whole folder.
// Where notices cannot be had (no instance or watch left) each look-up reads
// the folder, as before.

#include <sys/types.h>

#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace selvane {

class FolderNameIndex {
 public:
  FolderNameIndex() = default;
  ~FolderNameIndex();
  FolderNameIndex(const FolderNameIndex&) = delete;
  FolderNameIndex& operator=(const FolderNameIndex&) = delete;

  // The entry of the existing host folder `folder` (its device and inode as
  // a stat of it gave them) whose name equals `name` without regard to ASCII
  // letter case.
  std::optional<std::string> Find(const std::string& folder, dev_t dev, ino_t ino, const std::string& name);

 private:
  struct Folder {
    int watch = -1;
    dev_t dev = 0;
    ino_t ino = 0;
    // Upper-cased name -> the entries spelled so (Linux allows several).
    std::unordered_map<std::string, std::vector<std::string>> names;
  };

  bool Ready();
  void TakeNotices();
  void Forget(const std::string& folder, bool remove_watch);
  void ForgetAll();
  Folder* Indexed(const std::string& folder, dev_t dev, ino_t ino);

  std::mutex mu_;
  int notices_ = -1;  // the inotify descriptor; -1 before the first look-up
  bool unavailable_ = false;
  std::unordered_map<std::string, Folder> folders_;
  std::unordered_map<int, std::string> by_watch_;
  std::vector<char> events_;
};

// The entry of `folder` whose name equals `name` without regard to case, read
// from the folder itself.
std::optional<std::string> ReadFolderForName(const std::string& folder, const std::string& name);

}  // namespace selvane
