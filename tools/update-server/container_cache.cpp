#include "container_cache.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "protocol/container_writer.h"

namespace selvane::refserver {

namespace {

constexpr size_t kSourceBlock = 1 << 20;

uint64_t Fnv1a(const std::string& s) {
  uint64_t h = 1469598103934665603ull;
  for (const char c : s) {
    h ^= static_cast<uint8_t>(c);
    h *= 1099511628211ull;
  }
  return h;
}

}  // namespace

std::shared_ptr<const CachedContainer> CachedContainer::InMemory(Bytes bytes) {
  auto c = std::make_shared<CachedContainer>();
  c->size_ = bytes.size();
  c->bytes_ = std::move(bytes);
  return c;
}

std::shared_ptr<const CachedContainer> CachedContainer::InFile(std::string host_path, uint64_t size) {
  auto c = std::make_shared<CachedContainer>();
  c->file_ = std::move(host_path);
  c->size_ = size;
  return c;
}

std::span<const uint8_t> CachedContainer::Read(uint64_t offset, size_t n, Bytes& buffer) const {
  if (file_.empty()) return std::span<const uint8_t>(bytes_).subspan(static_cast<size_t>(offset), n);
  buffer.resize(n);
  std::ifstream in(file_, std::ios::binary);
  in.seekg(static_cast<std::streamoff>(offset));
  in.read(reinterpret_cast<char*>(buffer.data()), static_cast<std::streamsize>(n));
  if (static_cast<size_t>(in.gcount()) != n) throw std::runtime_error("cache file cut short: " + file_);
  return buffer;
}

ContainerCache::ContainerCache(Env& env, std::string host_root, std::string cache_dir)
    : env_(env), host_root_(std::move(host_root)), cache_dir_(std::move(cache_dir)) {
  if (!cache_dir_.empty()) std::filesystem::create_directories(cache_dir_);
}

ContainerCache::~ContainerCache() { Stop(); }

std::optional<FileVersion> ContainerCache::VersionOf(const std::string& path) const {
  if (path.size() < 3 || host_root_.empty()) return std::nullopt;
  std::string host = host_root_ + "/" + path.substr(3);
  for (char& c : host) c = c == '\\' ? '/' : c;
  std::error_code ec;
  const auto size = std::filesystem::file_size(host, ec);
  if (ec) return std::nullopt;
  const auto when = std::filesystem::last_write_time(host, ec);
  if (ec) return std::nullopt;
  const int64_t ns = std::chrono::duration_cast<std::chrono::nanoseconds>(when.time_since_epoch()).count();
  return FileVersion{host, size, ns};
}

std::shared_ptr<const CachedContainer> ContainerCache::Get(const std::string& path, const std::string& name) {
  const auto version = VersionOf(path);
  if (!version) return nullptr;
  std::unique_lock lock(mu_);
  for (;;) {
    Slot& slot = slots_[version->host_path];
    if (slot.version == *version && slot.container) return slot.container;
    if (slot.version == *version && slot.making) {
      changed_.wait(lock);  // another thread makes this very version
      continue;
    }
    slot.version = *version;
    slot.container.reset();
    slot.making = true;
    lock.unlock();
    std::shared_ptr<const CachedContainer> made;
    try {
      made = Make(path, name, *version);
    } catch (const std::exception&) {
      made = nullptr;  // the file changed or vanished meanwhile: the caller reads it itself
    }
    lock.lock();
    Slot& done = slots_[version->host_path];
    if (done.version == *version) {
      done.container = made;
      done.making = false;
    }
    changed_.notify_all();
    return made;
  }
}

std::shared_ptr<const CachedContainer> ContainerCache::Make(const std::string& path, const std::string& name,
                                                             const FileVersion& version) {
  std::string cached;
  if (!cache_dir_.empty()) {
    char key[64];
    std::snprintf(key, sizeof key, "%016llx-%llu-%lld.zc", static_cast<unsigned long long>(Fnv1a(version.host_path)),
                  static_cast<unsigned long long>(version.size), static_cast<long long>(version.mtime_ns));
    cached = cache_dir_ + "/" + key;
    std::error_code ec;
    const auto size = std::filesystem::file_size(cached, ec);
    if (!ec) return CachedContainer::InFile(cached, size);
  }
  ContainerWriter writer(name, version.size);
  {
    auto in = env_.OpenRead(path, ShareMode::kReadWrite);
    Bytes block(kSourceBlock);
    while (const size_t n = in->Read(block.data(), block.size())) writer.Append(std::span(block).first(n));
  }
  Bytes container = writer.Finish();
  {
    std::lock_guard lock(mu_);
    ++made_;
  }
  if (cached.empty()) return CachedContainer::InMemory(std::move(container));
  const std::string temp = cached + ".part";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(container.data()), static_cast<std::streamsize>(container.size()));
    if (!out) throw std::runtime_error("cannot write " + temp);
  }
  std::filesystem::rename(temp, cached);
  return CachedContainer::InFile(cached, container.size());
}

void ContainerCache::StartAhead(FileList list, uint32_t rescan_ms) {
  ahead_ = std::thread([this, list = std::move(list), rescan_ms] { Ahead(list, rescan_ms); });
}

void ContainerCache::Ahead(FileList list, uint32_t rescan_ms) {
  for (;;) {
    std::vector<std::pair<std::string, std::string>> files;
    try {
      files = list();
    } catch (const std::exception&) {
    }
    for (const auto& [path, name] : files) {
      {
        std::lock_guard lock(mu_);
        if (stopping_) return;
      }
      Get(path, name);
    }
    std::unique_lock lock(mu_);
    ++passes_;
    changed_.notify_all();
    changed_.wait_for(lock, std::chrono::milliseconds(rescan_ms), [this] { return stopping_; });
    if (stopping_) return;
  }
}

void ContainerCache::Stop() {
  {
    std::lock_guard lock(mu_);
    stopping_ = true;
  }
  changed_.notify_all();
  if (ahead_.joinable()) ahead_.join();
}

void ContainerCache::WaitForPasses(uint64_t passes) {
  std::unique_lock lock(mu_);
  changed_.wait(lock, [&] { return passes_ >= passes || stopping_; });
}

uint64_t ContainerCache::passes() const {
  std::lock_guard lock(mu_);
  return passes_;
}

uint64_t ContainerCache::made() const {
  std::lock_guard lock(mu_);
  return made_;
}

}  // namespace selvane::refserver
