#include "testing/recording_system_env.h"

#include <stdexcept>

#include "base/windows_path.h"

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

std::string RecordingSystemEnv::ExecutablePath() {
  std::lock_guard lock(mu_);
  return executable_path_;
}

void RecordingSystemEnv::SetExecutablePath(std::string path) {
  std::lock_guard lock(mu_);
  executable_path_ = std::move(path);
}

std::vector<ProcessInfo> RecordingSystemEnv::SnapshotProcesses() {
  std::lock_guard lock(mu_);
  return processes_;
}

bool RecordingSystemEnv::TerminateProcess(uint32_t pid, uint32_t /*exit_code*/) {
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

void RecordingSystemEnv::SetProcesses(std::vector<ProcessInfo> processes) {
  std::lock_guard lock(mu_);
  processes_ = std::move(processes);
}

std::vector<uint32_t> RecordingSystemEnv::TerminatedPids() const {
  std::lock_guard lock(mu_);
  return terminated_;
}

bool RecordingSystemEnv::RunHidden(const std::string& command_line, const std::string& current_folder) {
  std::lock_guard lock(mu_);
  hidden_command_lines_.push_back(command_line);
  hidden_command_folders_.push_back(current_folder);
  return run_hidden_result_;
}

void RecordingSystemEnv::SetRunHiddenResult(bool result) {
  std::lock_guard lock(mu_);
  run_hidden_result_ = result;
}

std::vector<std::string> RecordingSystemEnv::HiddenCommandLines() const {
  std::lock_guard lock(mu_);
  return hidden_command_lines_;
}

std::vector<std::string> RecordingSystemEnv::HiddenCommandFolders() const {
  std::lock_guard lock(mu_);
  return hidden_command_folders_;
}

bool RecordingSystemEnv::AddFontResource(const std::string& path) {
  std::lock_guard lock(mu_);
  added_fonts_.push_back(path);
  return true;
}

void RecordingSystemEnv::BroadcastFontChange() {
  std::lock_guard lock(mu_);
  ++font_broadcasts_;
}

std::vector<std::string> RecordingSystemEnv::AddedFonts() const {
  std::lock_guard lock(mu_);
  return added_fonts_;
}

int RecordingSystemEnv::FontChangeBroadcasts() const {
  std::lock_guard lock(mu_);
  return font_broadcasts_;
}

void RecordingSystemEnv::SaveShellLink(const std::string& link_path, const std::string& target,
                                       const std::string& arguments, const std::string& working_dir) {
  {
    std::lock_guard lock(mu_);
    if (!shell_link_failure_.empty()) throw std::runtime_error(shell_link_failure_);
    SavedShellLink saved{link_path, {target, arguments, working_dir}};
    bool replaced = false;
    for (SavedShellLink& l : links_) {
      if (EqualsNoCase(l.path, link_path)) {
        l = saved;
        replaced = true;
      }
    }
    if (!replaced) links_.push_back(std::move(saved));
  }
  const std::string text = std::string(kLinkTarget) + target + "\r\n" + kLinkArguments + arguments + "\r\n" +
                           kLinkWorkingDir + working_dir + "\r\n";
  try {
    auto f = EnvWrapper::Create(link_path, ShareMode::kExclusive);
    f->Write(text.data(), text.size());
    f->Close();
  } catch (const EFileError&) {
    // A link that cannot be saved is simply missing.
  }
}

void RecordingSystemEnv::SetShellLinkFailure(std::string text) {
  std::lock_guard lock(mu_);
  shell_link_failure_ = std::move(text);
}

std::vector<SavedShellLink> RecordingSystemEnv::SavedShellLinks() const {
  std::lock_guard lock(mu_);
  return links_;
}

std::optional<ShellLinkFields> RecordingSystemEnv::ReadShellLink(const std::string& link_path) {
  if (!EnvWrapper::FileExists(link_path)) return std::nullopt;
  std::string text;
  try {
    auto f = EnvWrapper::OpenRead(link_path, ShareMode::kReadWrite);
    char buf[512];
    while (const size_t n = f->Read(buf, sizeof buf)) text.append(buf, n);
  } catch (const EFileError&) {
    return std::nullopt;
  }
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

std::optional<std::string> RecordingSystemEnv::ReadCurrentUserString(const std::string& key,
                                                                     const std::string& value) {
  std::lock_guard lock(mu_);
  const auto it = current_user_strings_.find(UpperAscii(key + "\\" + value));
  if (it == current_user_strings_.end()) return std::nullopt;
  return it->second;
}

void RecordingSystemEnv::SetCurrentUserString(const std::string& key, const std::string& value,
                                              const std::string& data) {
  std::lock_guard lock(mu_);
  current_user_strings_[UpperAscii(key + "\\" + value)] = data;
}

void RecordingSystemEnv::ClearCurrentUserStrings() {
  std::lock_guard lock(mu_);
  current_user_strings_.clear();
}

}  // namespace selvane
