// Profile files, the code page and threads of the native Env.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>

#include "base/code_page_1252.h"
#include "platform/posix_env.h"
#include "base/profile_text.h"

namespace selvane {

std::string PosixEnv::ReadWhole(const std::string& host) {
  std::string data;
  const int fd = ::open(host.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return data;
  char buf[8192];
  for (;;) {
    const ssize_t got = ::read(fd, buf, sizeof buf);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    data.append(buf, static_cast<size_t>(got));
  }
  ::close(fd);
  return data;
}

bool PosixEnv::WriteWhole(const std::string& host, std::string_view data) {
  if (open_files_.IsOpen(host) || RefusesOverwrite(host)) return false;
  const int fd = ::open(host.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  bool ok = true;
  while (ok && !data.empty()) {
    const ssize_t put = ::write(fd, data.data(), data.size());
    if (put < 0 && errno == EINTR) continue;
    ok = put > 0;
    if (ok) data.remove_prefix(static_cast<size_t>(put));
  }
  return ::close(fd) == 0 && ok;
}

std::string PosixEnv::GetProfileString(const std::string& file, const std::string& section,
                                       const std::string& key, const std::string& fallback) {
  const auto r = Resolve(file);
  struct stat st;
  if (r && ::stat(r->host.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
      !open_files_.IsHeldExclusively(r->host)) {
    const auto value = ReadProfileValue(ReadWhole(r->host), ToAnsi(section), ToAnsi(key));
    if (value) return FromAnsi(*value);
  }
  return TrimTrailingBlanks(fallback);
}

bool PosixEnv::WriteProfileString(const std::string& file, const std::string& section,
                                  const std::string& key, const std::string& value) {
  const auto r = Resolve(file);
  if (!r || !r->folder_exists || r->is_root) return false;
  struct stat st;
  const bool exists = ::stat(r->host.c_str(), &st) == 0;
  if (exists && !S_ISREG(st.st_mode)) return false;
  const std::string old_text = exists ? ReadWhole(r->host) : std::string();
  const std::string text = WriteProfileValue(old_text, ToAnsi(section), ToAnsi(key), ToAnsi(value));
  if (exists && text == old_text) return true;
  return WriteWhole(r->host, text);
}

std::string PosixEnv::ToAnsi(std::string_view utf8) { return Utf8ToWindows1252(utf8); }

std::string PosixEnv::FromAnsi(std::string_view ansi) { return Windows1252ToUtf8(ansi); }

void PosixEnv::SleepMs(uint32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

void PosixEnv::StartThread(std::function<void()> fn, ThreadPriority /*priority*/) {
  std::thread(std::move(fn)).detach();
}

std::unique_ptr<Env> NewPosixEnv(const std::string& root) { return std::make_unique<PosixEnv>(root); }

}  // namespace selvane
