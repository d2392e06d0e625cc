#include "platform/folder_name_index.h"

#include <dirent.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "base/windows_path.h"

namespace selvane {

namespace {

// Folders indexed at once; past this every index is dropped and rebuilt on use,
// which keeps the watches (a per-user limit shared with other programs) few.
constexpr size_t kMaxFolders = 256;

constexpr uint32_t kWatched =
    IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;

std::string Folded(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return s;
}

// Runs `each` for every entry of the folder but "." and ".."; false if it cannot be read.
template <typename Each>
bool ForEachEntry(const std::string& folder, Each each) {
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return false;
  while (const dirent* e = ::readdir(dir)) {
    const std::string_view name = e->d_name;
    if (name != "." && name != "..") each(name);
  }
  ::closedir(dir);
  return true;
}

void Add(std::vector<std::string>& spellings, std::string_view name) {
  if (std::find(spellings.begin(), spellings.end(), name) == spellings.end()) spellings.emplace_back(name);
}

}  // namespace

std::optional<std::string> ReadFolderForName(const std::string& folder, const std::string& name) {
  std::optional<std::string> found;
  ForEachEntry(folder, [&](std::string_view entry) {
    if (!found && EqualsNoCase(entry, name)) found = std::string(entry);
  });
  return found;
}

FolderNameIndex::~FolderNameIndex() {
  if (notices_ >= 0) ::close(notices_);
}

bool FolderNameIndex::Ready() {
  if (notices_ < 0 && !unavailable_) {
    notices_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    unavailable_ = notices_ < 0;
    events_.resize(64 * 1024);
  }
  return !unavailable_;
}

void FolderNameIndex::TakeNotices() {
  for (;;) {
    const ssize_t got = ::read(notices_, events_.data(), events_.size());
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return;  // EAGAIN: nothing more is queued
    for (ssize_t at = 0; at < got;) {
      inotify_event e;
      std::copy_n(events_.data() + at, sizeof e, reinterpret_cast<char*>(&e));
      const char* name = events_.data() + at + sizeof e;
      at += static_cast<ssize_t>(sizeof e + e.len);
      if (e.mask & IN_Q_OVERFLOW) {
        ForgetAll();
        continue;
      }
      const auto owner = by_watch_.find(e.wd);
      if (owner == by_watch_.end()) continue;
      const std::string folder = owner->second;
      if (e.mask & (IN_IGNORED | IN_DELETE_SELF | IN_MOVE_SELF | IN_UNMOUNT)) {
        Forget(folder, (e.mask & IN_IGNORED) == 0);
        continue;
      }
      if (e.len == 0) continue;
      const std::string_view entry(name);
      auto& names = folders_[folder].names;
      const std::string key = Folded(std::string(entry));
      if (e.mask & (IN_CREATE | IN_MOVED_TO)) Add(names[key], entry);
      if (e.mask & (IN_DELETE | IN_MOVED_FROM)) {
        const auto spellings = names.find(key);
        if (spellings != names.end() && std::erase(spellings->second, entry) > 0 && spellings->second.empty())
          names.erase(spellings);
      }
    }
  }
}

void FolderNameIndex::Forget(const std::string& folder, bool remove_watch) {
  const auto it = folders_.find(folder);
  if (it == folders_.end()) return;
  if (remove_watch) ::inotify_rm_watch(notices_, it->second.watch);
  by_watch_.erase(it->second.watch);
  folders_.erase(it);
}

void FolderNameIndex::ForgetAll() {
  for (const auto& [folder, f] : folders_) ::inotify_rm_watch(notices_, f.watch);
  folders_.clear();
  by_watch_.clear();
}

FolderNameIndex::Folder* FolderNameIndex::Indexed(const std::string& folder, dev_t dev, ino_t ino) {
  const auto it = folders_.find(folder);
  if (it != folders_.end()) {
    if (it->second.dev == dev && it->second.ino == ino) return &it->second;
    Forget(folder, true);  // another folder now has this path
  }
  if (folders_.size() >= kMaxFolders) ForgetAll();
  // Watch first, then read: whatever changes while the folder is read is
  // also queued, and applying it again changes nothing.
  const int watch = ::inotify_add_watch(notices_, folder.c_str(), kWatched);
  if (watch < 0) return nullptr;
  const auto same_watch = by_watch_.find(watch);
  if (same_watch != by_watch_.end()) Forget(same_watch->second, false);  // one folder, two paths
  Folder f;
  f.watch = watch;
  f.dev = dev;
  f.ino = ino;
  const bool read = ForEachEntry(folder, [&](std::string_view entry) {
    Add(f.names[Folded(std::string(entry))], entry);
  });
  if (!read) {
    ::inotify_rm_watch(notices_, watch);
    return nullptr;
  }
  by_watch_[watch] = folder;
  return &(folders_[folder] = std::move(f));
}

std::optional<std::string> FolderNameIndex::Find(const std::string& folder, dev_t dev, ino_t ino,
                                                 const std::string& name) {
  std::lock_guard lock(mu_);
  if (!Ready()) return ReadFolderForName(folder, name);
  TakeNotices();
  const Folder* f = Indexed(folder, dev, ino);
  if (f == nullptr) return ReadFolderForName(folder, name);
  const auto it = f->names.find(Folded(name));
  if (it == f->names.end()) return std::nullopt;
  return it->second.front();
}

}  // namespace selvane
