// Profile files, the code page, threads and the stand-ins of the native Env
// for what Linux cannot do (processes, fonts, shell links, registry).
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
namespace {

std::string UpperAscii(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return s;
}

constexpr char kLinkTarget[] = "Target=";
constexpr char kLinkArguments[] = "Arguments=";
constexpr char kLinkWorkingDir[] = "WorkingDirectory=";

}  // namespace

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

std::string PosixEnv::ExecutablePath() {
  std::lock_guard lock(mu_);
  return executable_path_;
}

void PosixEnv::SetExecutablePath(std::string path) {
  std::lock_guard lock(mu_);
  executable_path_ = std::move(path);
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

std::vector<ProcessInfo> PosixEnv::SnapshotProcesses() {
  std::lock_guard lock(mu_);
  return processes_;
}

bool PosixEnv::TerminateProcess(uint32_t pid, uint32_t /*exit_code*/) {
  std::lock_guard lock(mu_);
  terminated_.push_back(pid);
  for (auto it = processes_.begin(); it != processes_.end(); ++it) {
    if (it->pid == pid) {
      processes_.erase(it);
      return true;
    }
  }
  return false;
}

void PosixEnv::SetProcesses(std::vector<ProcessInfo> processes) {
  std::lock_guard lock(mu_);
  processes_ = std::move(processes);
}

std::vector<uint32_t> PosixEnv::TerminatedPids() const {
  std::lock_guard lock(mu_);
  return terminated_;
}

bool PosixEnv::RunHidden(const std::string& command_line) {
  std::lock_guard lock(mu_);
  hidden_command_lines_.push_back(command_line);
  return run_hidden_result_;
}

void PosixEnv::SetRunHiddenResult(bool result) {
  std::lock_guard lock(mu_);
  run_hidden_result_ = result;
}

std::vector<std::string> PosixEnv::HiddenCommandLines() const {
  std::lock_guard lock(mu_);
  return hidden_command_lines_;
}

bool PosixEnv::AddFontResource(const std::string& path) {
  std::lock_guard lock(mu_);
  added_fonts_.push_back(path);
  return true;
}

void PosixEnv::BroadcastFontChange() {
  std::lock_guard lock(mu_);
  ++font_broadcasts_;
}

std::vector<std::string> PosixEnv::AddedFonts() const {
  std::lock_guard lock(mu_);
  return added_fonts_;
}

int PosixEnv::FontChangeBroadcasts() const {
  std::lock_guard lock(mu_);
  return font_broadcasts_;
}

void PosixEnv::SaveShellLink(const std::string& link_path, const std::string& target,
                             const std::string& arguments, const std::string& working_dir) {
  {
    std::lock_guard lock(mu_);
    if (shell_link_failure_) throw std::runtime_error("Class not registered");
  }
  const auto r = Resolve(link_path);
  if (!r || !r->folder_exists || r->is_root) return;  // a link that cannot be saved is missing
  WriteWhole(r->host, std::string(kLinkTarget) + target + "\r\n" + kLinkArguments + arguments +
                          "\r\n" + kLinkWorkingDir + working_dir + "\r\n");
}

void PosixEnv::SetShellLinkFailure(bool fail) {
  std::lock_guard lock(mu_);
  shell_link_failure_ = fail;
}

std::optional<ShellLinkFields> PosixEnv::ReadShellLink(const std::string& link_path) {
  const auto r = Resolve(link_path);
  struct stat st;
  if (!r || ::stat(r->host.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  const std::string text = ReadWhole(r->host);
  ShellLinkFields link;
  int seen = 0;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find("\r\n", pos);
    if (end == std::string::npos) end = text.size();
    const std::string_view line(text.data() + pos, end - pos);
    pos = end + 2;
    for (auto [prefix, field] : {std::pair{std::string_view(kLinkTarget), &link.target},
                                 std::pair{std::string_view(kLinkArguments), &link.arguments},
                                 std::pair{std::string_view(kLinkWorkingDir), &link.working_dir}}) {
      if (line.substr(0, prefix.size()) == prefix) {
        *field = line.substr(prefix.size());
        ++seen;
      }
    }
  }
  if (seen != 3) return std::nullopt;
  return link;
}

std::optional<std::string> PosixEnv::ReadCurrentUserString(const std::string& key,
                                                           const std::string& value) {
  std::lock_guard lock(mu_);
  const auto it = current_user_strings_.find(UpperAscii(key + "\\" + value));
  if (it == current_user_strings_.end()) return std::nullopt;
  return it->second;
}

void PosixEnv::SetCurrentUserString(const std::string& key, const std::string& value,
                                    const std::string& data) {
  std::lock_guard lock(mu_);
  current_user_strings_[UpperAscii(key + "\\" + value)] = data;
}

std::string PosixEnv::ToAnsi(std::string_view utf8) { return Utf8ToWindows1252(utf8); }

std::string PosixEnv::FromAnsi(std::string_view ansi) { return Windows1252ToUtf8(ansi); }

void PosixEnv::SleepMs(uint32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

void PosixEnv::StartThread(std::function<void()> fn, ThreadPriority /*priority*/) {
  std::thread(std::move(fn)).detach();
}

std::unique_ptr<Env> NewPosixEnv(const std::string& root) { return std::make_unique<PosixEnv>(root); }

}  // namespace selvane
