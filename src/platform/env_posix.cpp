// Files, folders, attributes and times of the native Env.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <ctime>
#include <optional>

#include "base/dos_time.h"
#include "platform/posix_env.h"
#include "platform/system_error_text.h"
#include "base/windows_path.h"

namespace selvane {

namespace {

constexpr uint32_t kStoredAttributes = kAttrReadOnly | kAttrHidden | kAttrSystem | kAttrArchive;

bool StatPath(const std::string& host, struct stat* st) { return ::stat(host.c_str(), st) == 0; }


std::string UnreachableText(const std::string& path) {
  // A name holding characters Windows forbids is a syntax error; any other
  // path outside the mapped drive names a folder that is not there.
  if (path.size() >= 2 && path[1] == ':' && !SplitDrivePath(path)) return kBadPathSyntaxText;
  return kPathNotFoundText;
}

class PosixReadableFile : public ReadableFile {
 public:
  PosixReadableFile(int fd, OpenFileTable& table, std::string key, ShareMode share)
      : fd_(fd), table_(table), key_(std::move(key)), share_(share) {}
  ~PosixReadableFile() override {
    ::close(fd_);
    table_.Release(key_, share_);
  }
  size_t Read(void* buf, size_t n) override {
    for (;;) {
      const ssize_t got = ::read(fd_, buf, n);
      if (got >= 0) return static_cast<size_t>(got);
      if (errno != EINTR) throw EInOutError(WindowsTextForErrno(errno, false));
    }
  }

 private:
  const int fd_;
  OpenFileTable& table_;
  const std::string key_;
  const ShareMode share_;
};

// The access and modification times that set `when` (local time) as the
// last write and leave the access time alone; none for a time mktime refuses.
std::optional<std::array<timespec, 2>> LastWriteTimes(DosDateTime when) {
  const auto civil = UnpackDosDateTime(when);
  if (!civil) return std::nullopt;
  struct tm local = {};
  local.tm_year = civil->year - 1900;
  local.tm_mon = civil->month - 1;
  local.tm_mday = civil->day;
  local.tm_hour = civil->hour;
  local.tm_min = civil->minute;
  local.tm_sec = civil->second;
  local.tm_isdst = -1;
  const time_t t = ::mktime(&local);
  if (t == static_cast<time_t>(-1)) return std::nullopt;
  return std::array<timespec, 2>{timespec{0, UTIME_OMIT}, timespec{t, 0}};
}

class PosixWritableFile : public WritableFile {
 public:
  PosixWritableFile(int fd, OpenFileTable& table, std::string key, ShareMode share)
      : fd_(fd), table_(table), key_(std::move(key)), share_(share) {}
  ~PosixWritableFile() override {
    if (fd_ >= 0) Release();
  }
  void Write(const void* buf, size_t n) override {
    if (fd_ < 0) throw EInOutError("File not open");
    const char* p = static_cast<const char*>(buf);
    while (n > 0) {
      const ssize_t put = ::write(fd_, p, n);
      if (put < 0) {
        if (errno == EINTR) continue;
        throw EInOutError(WindowsTextForErrno(errno, false));
      }
      p += put;
      n -= static_cast<size_t>(put);
    }
  }
  bool SetLastWriteDos(DosDateTime when) override {
    const auto times = LastWriteTimes(when);
    return fd_ >= 0 && times && ::futimens(fd_, times->data()) == 0;
  }
  void Close() override {
    if (fd_ < 0) return;
    const int rc = Release();
    if (rc != 0) throw EInOutError(WindowsTextForErrno(errno, false));
  }

 private:
  int Release() {
    const int rc = ::close(fd_);
    fd_ = -1;
    table_.Release(key_, share_);
    return rc;
  }

  int fd_;
  OpenFileTable& table_;
  const std::string key_;
  const ShareMode share_;
};

}  // namespace

PosixEnv::PosixEnv(std::string root) : root_(std::move(root)) {
  if (root_.empty() || root_.find_first_not_of('/') == std::string::npos)
    throw std::invalid_argument("PosixEnv needs a root folder other than \"/\"");
}

PosixEnv::~PosixEnv() = default;

std::optional<PosixEnv::Resolved> PosixEnv::Resolve(const std::string& path) const {
  const auto split = SplitDrivePath(path);
  if (!split || split->drive != 'C') return std::nullopt;
  Resolved r;
  r.host = root_;
  r.folder_exists = true;
  r.is_root = split->components.empty();
  r.exists = StatPath(r.host, &r.st);
  // One lstat per component: what it found is the next component's folder.
  for (const std::string& c : split->components) {
    if (!r.folder_exists || !r.exists || !S_ISDIR(r.st.st_mode)) {
      r.folder_exists = false;
      r.exists = false;
      r.host += "/" + c;
      continue;
    }
    const dev_t folder_dev = r.st.st_dev;
    const ino_t folder_ino = r.st.st_ino;
    const size_t folder_length = r.host.size();
    r.host += "/";
    r.host += c;
    if (::lstat(r.host.c_str(), &r.st) == 0) {
      r.exists = !S_ISLNK(r.st.st_mode) || StatPath(r.host, &r.st);
      continue;
    }
    r.exists = false;
    const auto found = names_.Find(r.host.substr(0, folder_length), folder_dev, folder_ino, c);
    if (found) {
      r.host.replace(folder_length + 1, std::string::npos, *found);
      r.exists = StatPath(r.host, &r.st);
    }
  }
  return r;
}

std::optional<std::string> PosixEnv::HostPath(const std::string& path) const {
  const auto r = Resolve(path);
  if (!r) return std::nullopt;
  return r->host;
}

uint32_t PosixEnv::AttributesOf(const std::string& host, const struct stat& st) const {
  std::lock_guard lock(mu_);
  const auto it = attributes_.find(host);
  if (S_ISDIR(st.st_mode)) return kAttrDirectory | (it == attributes_.end() ? 0 : it->second);
  uint32_t a = it == attributes_.end() ? kAttrArchive : it->second;
  a &= ~uint32_t{kAttrReadOnly};
  if ((st.st_mode & 0222) == 0) a |= kAttrReadOnly;
  return a == 0 ? uint32_t{kAttrNormal} : a;
}

bool PosixEnv::RefusesOverwrite(const Resolved& r) const {
  return r.IsFile() && (AttributesOf(r.host, r.st) & (kAttrReadOnly | kAttrHidden | kAttrSystem)) != 0;
}

bool PosixEnv::IsReadOnlyFile(const Resolved& r) const {
  return r.IsFile() && (AttributesOf(r.host, r.st) & kAttrReadOnly) != 0;
}

bool PosixEnv::FileExists(const std::string& path) {
  const auto r = Resolve(path);
  return r && r->IsFile();
}

bool PosixEnv::DirectoryExists(const std::string& path) {
  const auto r = Resolve(path);
  return r && r->IsFolder();
}

bool PosixEnv::CreateDirectory(const std::string& path) {
  const auto r = Resolve(path);
  if (!r || r->is_root || !r->folder_exists) return false;
  return ::mkdir(r->host.c_str(), 0777) == 0;
}

std::vector<DirEntry> PosixEnv::FindFiles(const std::string& pattern) {
  const size_t cut = pattern.find_last_of("\\/");
  if (cut == std::string::npos) return {};
  const std::string mask = pattern.substr(cut + 1);
  const auto folder = Resolve(pattern.substr(0, cut + 1));
  if (!folder || !folder->IsFolder()) return {};

  std::vector<DirEntry> found;
  DIR* dir = ::opendir(folder->host.c_str());
  if (dir == nullptr) return {};
  while (const dirent* e = ::readdir(dir)) {
    const std::string name = e->d_name;
    const bool dot = name == "." || name == "..";
    if (dot && folder->is_root) continue;  // a drive's root has no "." or ".."
    if (!MatchesWildcard(name, mask)) continue;
    const std::string host = folder->host + "/" + name;
    struct stat st;
    if (!StatPath(host, &st) || !(S_ISDIR(st.st_mode) || S_ISREG(st.st_mode))) continue;
    found.push_back({name, dot ? uint32_t{kAttrDirectory} : AttributesOf(host, st)});
  }
  ::closedir(dir);
  // NTFS order: by name without case, so "." and ".." come first.
  std::sort(found.begin(), found.end(), [](const DirEntry& a, const DirEntry& b) {
    auto upper = [](std::string s) {
      for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
      return s;
    };
    return upper(a.name) < upper(b.name);
  });
  return found;
}

std::optional<uint32_t> PosixEnv::GetAttributes(const std::string& path) {
  const auto r = Resolve(path);
  if (!r || !r->exists) return std::nullopt;
  return AttributesOf(r->host, r->st);
}

bool PosixEnv::SetAttributes(const std::string& path, uint32_t attributes) {
  const auto r = Resolve(path);
  if (!r || !r->exists) return false;
  const struct stat& st = r->st;
  if (S_ISREG(st.st_mode)) {
    const mode_t mode = (attributes & kAttrReadOnly) ? (st.st_mode & ~mode_t{0222})
                                                     : (st.st_mode | S_IWUSR);
    if (::chmod(r->host.c_str(), mode & 07777) != 0) return false;
  }
  std::lock_guard lock(mu_);
  attributes_[r->host] = attributes & kStoredAttributes;
  return true;
}

std::unique_ptr<ReadableFile> PosixEnv::OpenRead(const std::string& path, ShareMode share) {
  const auto r = Resolve(path);
  if (!r) throw EFOpenError(OpenErrorMessage(path, UnreachableText(path)));
  if (!r->exists) throw EFOpenError(OpenErrorMessage(path, WindowsTextForErrno(ENOENT, !r->folder_exists)));
  if (S_ISDIR(r->st.st_mode)) throw EFOpenError(OpenErrorMessage(path, kAccessDeniedText));
  if (!open_files_.Acquire(r->host, share))
    throw EFOpenError(OpenErrorMessage(path, kSharingViolationText));
  const int fd = ::open(r->host.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    const int err = errno;
    open_files_.Release(r->host, share);
    throw EFOpenError(OpenErrorMessage(path, WindowsTextForErrno(err, !r->folder_exists)));
  }
  return std::make_unique<PosixReadableFile>(fd, open_files_, r->host, share);
}

std::unique_ptr<WritableFile> PosixEnv::Create(const std::string& path, ShareMode share) {
  const auto r = Resolve(path);
  if (!r) throw EFCreateError(CreateErrorMessage(path, UnreachableText(path)));
  if (!r->folder_exists) throw EFCreateError(CreateErrorMessage(path, kPathNotFoundText));
  if (r->is_root || r->IsFolder() || RefusesOverwrite(*r))
    throw EFCreateError(CreateErrorMessage(path, kAccessDeniedText));
  if (!open_files_.Acquire(r->host, share))
    throw EFCreateError(CreateErrorMessage(path, kSharingViolationText));
  const int fd = ::open(r->host.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) {
    const int err = errno;
    open_files_.Release(r->host, share);
    throw EFCreateError(CreateErrorMessage(path, WindowsTextForErrno(err, false)));
  }
  {
    std::lock_guard lock(mu_);
    attributes_.erase(r->host);  // a file written anew is an archive file again
  }
  return std::make_unique<PosixWritableFile>(fd, open_files_, r->host, share);
}

bool PosixEnv::DeleteFile(const std::string& path) {
  const auto r = Resolve(path);
  if (!r || !r->IsFile() || open_files_.IsOpen(r->host) || IsReadOnlyFile(*r)) return false;
  if (::unlink(r->host.c_str()) != 0) return false;
  std::lock_guard lock(mu_);
  attributes_.erase(r->host);
  return true;
}

bool PosixEnv::CopyFile(const std::string& from, const std::string& to, bool fail_if_exists) {
  const auto src = Resolve(from);
  const auto dst = Resolve(to);
  if (!src || !dst || !dst->folder_exists || dst->is_root) return false;
  if (!src->IsFile()) return false;
  const struct stat& st = src->st;
  if (open_files_.IsHeldExclusively(src->host)) return false;
  if (dst->IsFolder() || (fail_if_exists && dst->IsFile())) return false;
  if (src->host == dst->host || open_files_.IsOpen(dst->host) || RefusesOverwrite(*dst))
    return false;

  const int in = ::open(src->host.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return false;
  const int out = ::open(dst->host.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  bool ok = out >= 0;
  char buf[64 * 1024];
  while (ok) {
    const ssize_t got = ::read(in, buf, sizeof buf);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      ok = got == 0;
      break;
    }
    for (ssize_t done = 0; ok && done < got;) {
      const ssize_t put = ::write(out, buf + done, static_cast<size_t>(got - done));
      if (put < 0 && errno == EINTR) continue;
      ok = put > 0;
      done += put;
    }
  }
  ::close(in);
  if (out >= 0 && ::close(out) != 0) ok = false;
  if (!ok) return false;

  // Like CopyFileW: the copy keeps the source's last-write time and attributes.
  const timespec times[2] = {{0, UTIME_OMIT}, st.st_mtim};
  ::utimensat(AT_FDCWD, dst->host.c_str(), times, 0);
  ::chmod(dst->host.c_str(), st.st_mode & 07777);
  std::lock_guard lock(mu_);
  const auto it = attributes_.find(src->host);
  if (it != attributes_.end())
    attributes_[dst->host] = it->second;
  else
    attributes_.erase(dst->host);
  return true;
}

bool PosixEnv::MoveFileReplace(const std::string& from, const std::string& to) {
  return MoveFileReplaceReason(from, to).empty();
}

std::optional<std::string> PosixEnv::MoveFileToFreeName(const std::string& from, const std::string& to) {
  const auto dst = Resolve(to);
  if (dst && dst->exists) return std::nullopt;
  return MoveFileReplaceReason(from, to);
}

std::unique_ptr<WritableFile> PosixEnv::CreateNew(const std::string& path, ShareMode share) {
  const auto r = Resolve(path);
  if (r && r->exists) return nullptr;
  return Create(path, share);
}

std::string PosixEnv::MoveFileReplaceReason(const std::string& from, const std::string& to) {
  const auto src = Resolve(from);
  const auto dst = Resolve(to);
  if (!src || !dst) return kPathNotFoundText;
  const struct stat& st = src->st;
  if (!src->exists) return WindowsTextForErrno(ENOENT, !src->folder_exists);
  if (!dst->folder_exists) return kPathNotFoundText;
  if (dst->is_root) return kAccessDeniedText;
  if (open_files_.IsOpen(src->host)) return kSharingViolationText;
  std::string target = dst->host;
  if (target == src->host) {
    // Only the letter case changes: rename to the spelling asked for.
    const auto split = SplitDrivePath(to);
    target = target.substr(0, target.rfind('/') + 1) + split->components.back();
  } else if (open_files_.IsOpen(target)) {
    return kAccessDeniedText;  // the holder shares no deletion, as a running program does
  } else if (dst->IsFolder() || IsReadOnlyFile(*dst)) {
    return kAccessDeniedText;
  } else if (S_ISDIR(st.st_mode) && ::access(target.c_str(), F_OK) == 0) {
    return kAccessDeniedText;  // a folder never replaces a file
  }
  if (::rename(src->host.c_str(), target.c_str()) != 0) return WindowsTextForErrno(errno, false);
  std::lock_guard lock(mu_);
  const auto it = attributes_.find(src->host);
  if (it != attributes_.end()) {
    const uint32_t a = it->second;
    attributes_.erase(it);
    attributes_[target] = a;
  } else {
    attributes_.erase(target);
  }
  return {};
}

bool PosixEnv::SameFile(const std::string& a, const std::string& b) {
  // A missing first file settles it without looking up the second.
  const auto ra = Resolve(a);
  if (!ra || !ra->exists) return false;
  const auto rb = Resolve(b);
  if (!rb || !rb->exists) return false;
  return S_ISREG(ra->st.st_mode) && ra->st.st_dev == rb->st.st_dev && ra->st.st_ino == rb->st.st_ino;
}

bool PosixEnv::RemoveDirectory(const std::string& path) {
  const auto r = Resolve(path);
  if (!r || r->is_root || !r->IsFolder() || ::rmdir(r->host.c_str()) != 0) return false;
  std::lock_guard lock(mu_);
  attributes_.erase(r->host);
  return true;
}

std::optional<DosDateTime> PosixEnv::GetLastWriteDos(const std::string& path) {
  const auto r = Resolve(path);
  if (!r || !r->exists) return std::nullopt;
  struct tm local;
  if (::localtime_r(&r->st.st_mtim.tv_sec, &local) == nullptr) return std::nullopt;
  return PackDosDateTime({local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                          local.tm_min, local.tm_sec, 0});
}

bool PosixEnv::SetLastWriteDos(const std::string& path, DosDateTime when) {
  const auto r = Resolve(path);
  // The file is opened for writing with read/write sharing first.
  if (!r || !r->IsFile() || open_files_.IsHeldExclusively(r->host) || IsReadOnlyFile(*r)) return false;
  const auto times = LastWriteTimes(when);
  return times && ::utimensat(AT_FDCWD, r->host.c_str(), times->data(), 0) == 0;
}

std::unique_ptr<Env> NewPosixEnv(const std::string& root) { return std::make_unique<PosixEnv>(root); }

}  // namespace selvane
