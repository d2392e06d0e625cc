#include "testing/memory_env.h"

#include <algorithm>

#include "base/windows_path.h"
#include "platform/system_error_text.h"

namespace selvane {
namespace {

constexpr uint32_t kStoredAttributes = kAttrReadOnly | kAttrHidden | kAttrSystem | kAttrArchive;
constexpr double kMsPerDay = 86400000.0;

std::string Upper(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return out;
}

// The text for a path that leads nowhere on drive C:.
std::string UnreachableText(const std::string& path) {
  if (path.size() >= 2 && path[1] == ':' && !SplitDrivePath(path)) return kBadPathSyntaxText;
  return kPathNotFoundText;
}

bool Below(const std::string& key, const std::string& folder_key) {
  return key.size() > folder_key.size() && key.compare(0, folder_key.size(), folder_key) == 0 &&
         key[folder_key.size()] == '\\';
}

}  // namespace

class MemoryEnv::Readable : public ReadableFile {
 public:
  Readable(MemoryEnv& env, std::string key, ShareMode share)
      : env_(env), key_(std::move(key)), share_(share) {}
  ~Readable() override { env_.open_files_.Release(key_, share_); }
  size_t Read(void* buf, size_t n) override {
    std::lock_guard lock(env_.mu_);
    const std::string& bytes = env_.Find(key_)->bytes;
    const size_t take = std::min(n, bytes.size() - std::min(at_, bytes.size()));
    std::copy_n(bytes.data() + at_, take, static_cast<char*>(buf));
    at_ += take;
    return take;
  }

 private:
  MemoryEnv& env_;
  const std::string key_;
  const ShareMode share_;
  size_t at_ = 0;
};

class MemoryEnv::Writable : public WritableFile {
 public:
  Writable(MemoryEnv& env, std::string key, ShareMode share)
      : env_(env), key_(std::move(key)), share_(share) {}
  ~Writable() override { Close(); }
  void Write(const void* buf, size_t n) override {
    if (closed_) throw EInOutError("File not open");
    std::lock_guard lock(env_.mu_);
    Node* node = env_.Find(key_);
    node->bytes.append(static_cast<const char*>(buf), n);
    node->written = env_.Stamp();
  }
  bool SetLastWriteDos(DosDateTime when) override {
    if (closed_ || !UnpackDosDateTime(when)) return false;
    std::lock_guard lock(env_.mu_);
    env_.Find(key_)->written = when;
    return true;
  }
  void Close() override {
    if (closed_) return;
    closed_ = true;
    env_.open_files_.Release(key_, share_);
  }

 private:
  MemoryEnv& env_;
  const std::string key_;
  const ShareMode share_;
  bool closed_ = false;
};

MemoryEnv::MemoryEnv() : now_(*DateTimeFromCivil({2024, 1, 2, 10, 0, 0, 0})) {}

MemoryEnv::~MemoryEnv() = default;

std::optional<MemoryEnv::Place> MemoryEnv::Locate(const std::string& path) const {
  const auto split = SplitDrivePath(path);
  if (!split || split->drive != 'C') return std::nullopt;
  Place p;
  p.is_root = split->components.empty();
  for (const std::string& c : split->components) {
    p.folder_key = p.key;
    p.key += "\\" + Upper(c);
    p.name = c;
  }
  return p;
}

const MemoryEnv::Node* MemoryEnv::Find(const std::string& key) const {
  const auto it = nodes_.find(key);
  return it == nodes_.end() ? nullptr : &it->second;
}

MemoryEnv::Node* MemoryEnv::Find(const std::string& key) {
  const auto it = nodes_.find(key);
  return it == nodes_.end() ? nullptr : &it->second;
}

bool MemoryEnv::FolderThere(const Place& p) const {
  if (p.folder_key.empty()) return true;  // the root
  const Node* n = Find(p.folder_key);
  return n != nullptr && n->folder;
}

uint32_t MemoryEnv::AttributesOf(const Node& n) const {
  if (n.folder) return kAttrDirectory | n.attributes;
  return n.attributes == 0 ? uint32_t{kAttrNormal} : n.attributes;
}

bool MemoryEnv::RefusesOverwrite(const std::string& key) const {
  const Node* n = Find(key);
  return n != nullptr && !n->folder && (n->attributes & (kAttrReadOnly | kAttrHidden | kAttrSystem));
}

DosDateTime MemoryEnv::Stamp() const { return DosDateTimeFromDateTime(now_).value_or(DosDateTime{}); }

std::string MemoryEnv::SpelledPath(const std::string& key) const {
  std::string path = "C:";
  for (size_t at = key.find('\\', 1);; at = key.find('\\', at + 1)) {
    path += "\\" + Find(key.substr(0, at))->name;
    if (at == std::string::npos) return path;
  }
}

bool MemoryEnv::Overwrite(const Place& p, std::string bytes) {
  if (p.is_root || !FolderThere(p) || open_files_.IsOpen(p.key) || RefusesOverwrite(p.key)) return false;
  Node* n = Find(p.key);
  if (n != nullptr && n->folder) return false;
  if (n == nullptr) n = &nodes_.emplace(p.key, Node{p.name}).first->second;
  n->bytes = std::move(bytes);
  n->attributes = kAttrArchive;
  n->written = Stamp();
  return true;
}

bool MemoryEnv::FileExists(const std::string& path) {
  const auto p = Locate(path);
  std::lock_guard lock(mu_);
  const Node* n = p ? Find(p->key) : nullptr;
  return n != nullptr && !n->folder;
}

bool MemoryEnv::DirectoryExists(const std::string& path) {
  const auto p = Locate(path);
  if (!p) return false;
  if (p->is_root) return true;
  std::lock_guard lock(mu_);
  const Node* n = Find(p->key);
  return n != nullptr && n->folder;
}

bool MemoryEnv::CreateDirectory(const std::string& path) {
  const auto p = Locate(path);
  std::lock_guard lock(mu_);
  if (!p || p->is_root || !FolderThere(*p) || Find(p->key) != nullptr) return false;
  nodes_.emplace(p->key, Node{p->name, true, 0, {}, Stamp()});
  return true;
}

std::vector<DirEntry> MemoryEnv::FindFiles(const std::string& pattern) {
  const size_t cut = pattern.find_last_of("\\/");
  if (cut == std::string::npos) return {};
  const std::string mask = pattern.substr(cut + 1);
  const auto folder = Locate(pattern.substr(0, cut + 1));
  if (!folder) return {};
  std::lock_guard lock(mu_);
  if (!folder->is_root) {
    const Node* n = Find(folder->key);
    if (n == nullptr || !n->folder) return {};
  }
  std::vector<DirEntry> found;
  if (!folder->is_root) {  // a drive's root has no "." or ".."
    for (const char* dot : {".", ".."})
      if (MatchesWildcard(dot, mask)) found.push_back({dot, kAttrDirectory});
  }
  for (auto it = nodes_.upper_bound(folder->key); it != nodes_.end() && it->first.starts_with(folder->key); ++it) {
    if (!Below(it->first, folder->key) || it->first.find('\\', folder->key.size() + 1) != std::string::npos)
      continue;
    const Node& n = it->second;
    if (MatchesWildcard(n.name, mask)) found.push_back({n.name, AttributesOf(n)});
  }
  // NTFS order: by name without case.
  std::stable_sort(found.begin(), found.end(),
                   [](const DirEntry& a, const DirEntry& b) { return Upper(a.name) < Upper(b.name); });
  return found;
}

std::optional<uint32_t> MemoryEnv::GetAttributes(const std::string& path) {
  const auto p = Locate(path);
  if (!p) return std::nullopt;
  if (p->is_root) return kAttrDirectory;
  std::lock_guard lock(mu_);
  const Node* n = Find(p->key);
  if (n == nullptr) return std::nullopt;
  return AttributesOf(*n);
}

bool MemoryEnv::SetAttributes(const std::string& path, uint32_t attributes) {
  const auto p = Locate(path);
  std::lock_guard lock(mu_);
  Node* n = p ? Find(p->key) : nullptr;
  if (n == nullptr) return false;
  n->attributes = attributes & kStoredAttributes;
  return true;
}

std::unique_ptr<ReadableFile> MemoryEnv::OpenRead(const std::string& path, ShareMode share) {
  const auto p = Locate(path);
  if (!p) throw EFOpenError(OpenErrorMessage(path, UnreachableText(path)));
  std::lock_guard lock(mu_);
  const Node* n = Find(p->key);
  if (n == nullptr && !p->is_root)
    throw EFOpenError(OpenErrorMessage(path, FolderThere(*p) ? kFileNotFoundText : kPathNotFoundText));
  if (p->is_root || n->folder) throw EFOpenError(OpenErrorMessage(path, kAccessDeniedText));
  if (!open_files_.Acquire(p->key, share)) throw EFOpenError(OpenErrorMessage(path, kSharingViolationText));
  return std::make_unique<Readable>(*this, p->key, share);
}

std::unique_ptr<WritableFile> MemoryEnv::Create(const std::string& path, ShareMode share) {
  const auto p = Locate(path);
  if (!p) throw EFCreateError(CreateErrorMessage(path, UnreachableText(path)));
  std::lock_guard lock(mu_);
  if (!p->is_root && !FolderThere(*p)) throw EFCreateError(CreateErrorMessage(path, kPathNotFoundText));
  const Node* n = Find(p->key);
  if (p->is_root || (n != nullptr && n->folder) || RefusesOverwrite(p->key))
    throw EFCreateError(CreateErrorMessage(path, kAccessDeniedText));
  if (!open_files_.Acquire(p->key, share))
    throw EFCreateError(CreateErrorMessage(path, kSharingViolationText));
  Node& file = nodes_.emplace(p->key, Node{p->name}).first->second;
  file.bytes.clear();
  file.attributes = kAttrArchive;  // a file written anew is an archive file again
  file.written = Stamp();
  return std::make_unique<Writable>(*this, p->key, share);
}

bool MemoryEnv::DeleteFile(const std::string& path) {
  const auto p = Locate(path);
  std::lock_guard lock(mu_);
  const Node* n = p ? Find(p->key) : nullptr;
  if (n == nullptr || n->folder || open_files_.IsOpen(p->key) || (n->attributes & kAttrReadOnly)) return false;
  nodes_.erase(p->key);
  return true;
}

bool MemoryEnv::CopyFile(const std::string& from, const std::string& to, bool fail_if_exists) {
  const auto src = Locate(from);
  const auto dst = Locate(to);
  if (!src || !dst) return false;
  std::lock_guard lock(mu_);
  const Node* s = Find(src->key);
  if (s == nullptr || s->folder || open_files_.IsHeldExclusively(src->key) || src->key == dst->key) return false;
  if (fail_if_exists && Find(dst->key) != nullptr) return false;
  const Node copied = *s;  // Overwrite may move nodes around
  if (!Overwrite(*dst, copied.bytes)) return false;
  // Like CopyFileW: the copy keeps the source's last-write time and attributes.
  Node* d = Find(dst->key);
  d->written = copied.written;
  d->attributes = copied.attributes;
  return true;
}

bool MemoryEnv::MoveFileReplace(const std::string& from, const std::string& to) {
  return MoveFileReplaceReason(from, to).empty();
}

std::string MemoryEnv::MoveFileReplaceReason(const std::string& from, const std::string& to) {
  const auto src = Locate(from);
  const auto dst = Locate(to);
  if (!src || !dst) return kPathNotFoundText;
  if (src->is_root || dst->is_root) return kAccessDeniedText;
  std::lock_guard lock(mu_);
  const Node* s = Find(src->key);
  if (s == nullptr) return FolderThere(*src) ? kFileNotFoundText : kPathNotFoundText;
  if (!FolderThere(*dst)) return kPathNotFoundText;
  if (open_files_.IsOpen(src->key)) return kSharingViolationText;
  if (src->key != dst->key) {
    const Node* d = Find(dst->key);
    // The holder shares no deletion, as a running program does.
    if (d != nullptr && open_files_.IsOpen(dst->key)) return kAccessDeniedText;
    if (d != nullptr && (d->folder || s->folder || (d->attributes & kAttrReadOnly)))
      return kAccessDeniedText;  // a folder is never replaced and never replaces a file
    if (s->folder && Below(dst->key, src->key)) return kAccessDeniedText;
  }
  // The node and, for a folder, everything below it take the new name.
  std::vector<std::pair<std::string, Node>> moved;
  for (auto it = nodes_.lower_bound(src->key); it != nodes_.end() && it->first.starts_with(src->key);) {
    if (it->first != src->key && !Below(it->first, src->key)) {
      ++it;
      continue;
    }
    Node n = std::move(it->second);
    if (it->first == src->key) n.name = dst->name;
    moved.emplace_back(dst->key + it->first.substr(src->key.size()), std::move(n));
    it = nodes_.erase(it);
  }
  for (auto& [key, n] : moved) nodes_.insert_or_assign(key, std::move(n));
  return {};
}

std::optional<std::string> MemoryEnv::MoveFileToFreeName(const std::string& from, const std::string& to) {
  if (const auto dst = Locate(to)) {
    std::lock_guard lock(mu_);
    if (dst->is_root || Find(dst->key) != nullptr) return std::nullopt;
  }
  return MoveFileReplaceReason(from, to);
}

std::unique_ptr<WritableFile> MemoryEnv::CreateNew(const std::string& path, ShareMode share) {
  if (const auto p = Locate(path)) {
    std::lock_guard lock(mu_);
    if (!p->is_root && Find(p->key) != nullptr) return nullptr;
  }
  return Create(path, share);
}

bool MemoryEnv::SameFile(const std::string& a, const std::string& b) {
  // Names are folded as everywhere in this Env: the key is the file's identity.
  const auto pa = Locate(a);
  const auto pb = Locate(b);
  if (!pa || !pb || pa->key != pb->key) return false;
  std::lock_guard lock(mu_);
  const Node* n = Find(pa->key);
  return n != nullptr && !n->folder;
}

bool MemoryEnv::RemoveDirectory(const std::string& path) {
  const auto p = Locate(path);
  if (!p || p->is_root) return false;
  std::lock_guard lock(mu_);
  const Node* n = Find(p->key);
  if (n == nullptr || !n->folder) return false;
  for (auto it = nodes_.upper_bound(p->key); it != nodes_.end() && it->first.starts_with(p->key); ++it)
    if (Below(it->first, p->key)) return false;  // not empty
  nodes_.erase(p->key);
  return true;
}

std::optional<DosDateTime> MemoryEnv::GetLastWriteDos(const std::string& path) {
  const auto p = Locate(path);
  std::lock_guard lock(mu_);
  const Node* n = p ? Find(p->key) : nullptr;
  if (n == nullptr) return std::nullopt;
  return n->written;
}

bool MemoryEnv::SetLastWriteDos(const std::string& path, DosDateTime when) {
  const auto p = Locate(path);
  std::lock_guard lock(mu_);
  Node* n = p ? Find(p->key) : nullptr;
  // The file is opened for writing with read/write sharing first.
  if (n == nullptr || n->folder || open_files_.IsHeldExclusively(p->key) || (n->attributes & kAttrReadOnly))
    return false;
  if (!UnpackDosDateTime(when)) return false;
  n->written = when;
  return true;
}

void MemoryEnv::SleepMs(uint32_t ms) {
  std::lock_guard lock(mu_);
  ++sleeps_;
  slept_ms_ += ms;
  now_ += ms / kMsPerDay;
}

void MemoryEnv::MakeDirs(const std::string& folder) {
  const auto split = SplitDrivePath(folder);
  if (!split) return;
  std::string path = std::string(1, split->drive) + ":";
  for (const std::string& c : split->components) {
    path += "\\" + c;
    CreateDirectory(path);
  }
}

void MemoryEnv::PutFile(const std::string& path, std::string_view bytes) {
  const size_t cut = path.find_last_of("\\/");
  if (cut != std::string::npos) MakeDirs(path.substr(0, cut + 1));
  auto f = Create(path, ShareMode::kExclusive);
  f->Write(bytes.data(), bytes.size());
  f->Close();
}

std::optional<std::string> MemoryEnv::Contents(const std::string& path) const {
  const auto p = Locate(path);
  std::lock_guard lock(mu_);
  const Node* n = p ? Find(p->key) : nullptr;
  if (n == nullptr || n->folder) return std::nullopt;
  return n->bytes;
}

std::vector<std::string> MemoryEnv::Files() const {
  std::lock_guard lock(mu_);
  std::vector<std::string> out;
  for (const auto& [key, n] : nodes_)
    if (!n.folder) out.push_back(SpelledPath(key));
  std::sort(out.begin(), out.end());
  return out;
}

std::vector<std::string> MemoryEnv::Folders() const {
  std::lock_guard lock(mu_);
  std::vector<std::string> out;
  for (const auto& [key, n] : nodes_)
    if (n.folder) out.push_back(SpelledPath(key));
  std::sort(out.begin(), out.end());
  return out;
}

void MemoryEnv::SetNow(double when) {
  std::lock_guard lock(mu_);
  now_ = when;
}

double MemoryEnv::Now() const {
  std::lock_guard lock(mu_);
  return now_;
}

int MemoryEnv::Sleeps() const {
  std::lock_guard lock(mu_);
  return sleeps_;
}

uint64_t MemoryEnv::SleptMs() const {
  std::lock_guard lock(mu_);
  return slept_ms_;
}

}  // namespace selvane
