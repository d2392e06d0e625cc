#include "platform/files_only_env.h"

#include <chrono>
#include <stdexcept>
#include <thread>

#include "base/code_page_1252.h"
#include "base/profile_text.h"

namespace selvane {

std::string FilesOnlyEnv::ExecutablePath() {
  throw std::logic_error("The running program has no Windows path on this platform");
}

std::vector<ProcessInfo> FilesOnlyEnv::SnapshotProcesses() { return {}; }

bool FilesOnlyEnv::TerminateProcess(uint32_t, uint32_t) { return false; }

bool FilesOnlyEnv::RunHidden(const std::string&, const std::string&) { return false; }

std::vector<std::string> FilesOnlyEnv::ProgramsHoldingFile(const std::string&) { return {}; }

bool FilesOnlyEnv::AddFontResource(const std::string&) { return false; }

void FilesOnlyEnv::BroadcastFontChange() {}

void FilesOnlyEnv::SaveShellLink(const std::string&, const std::string&, const std::string&,
                                 const std::string&) {
  throw std::runtime_error(kNoShellLinkText);
}

std::optional<std::string> FilesOnlyEnv::ReadCurrentUserString(const std::string&,
                                                               const std::string&) {
  return std::nullopt;
}

std::optional<std::string> FilesOnlyEnv::ReadWholeFile(const std::string& path) {
  if (!FileExists(path)) return std::nullopt;
  try {
    const std::unique_ptr<ReadableFile> f = OpenRead(path, ShareMode::kReadWrite);
    std::string text;
    char buf[4096];
    while (const size_t n = f->Read(buf, sizeof buf)) text.append(buf, n);
    return text;
  } catch (const EFileError&) {
    return std::nullopt;
  }
}

std::string FilesOnlyEnv::GetProfileString(const std::string& file, const std::string& section,
                                           const std::string& key, const std::string& fallback) {
  if (const auto text = ReadWholeFile(file)) {
    if (const auto value = ReadProfileValue(*text, ToAnsi(section), ToAnsi(key))) return FromAnsi(*value);
  }
  return TrimTrailingBlanks(fallback);
}

bool FilesOnlyEnv::WriteProfileString(const std::string& file, const std::string& section,
                                      const std::string& key, const std::string& value) {
  if (DirectoryExists(file)) return false;
  const bool exists = FileExists(file);
  const std::optional<std::string> old_text = exists ? ReadWholeFile(file) : std::string();
  if (!old_text) return false;
  const std::string text = WriteProfileValue(*old_text, ToAnsi(section), ToAnsi(key), ToAnsi(value));
  if (exists && text == *old_text) return true;
  try {
    const std::unique_ptr<WritableFile> f = Create(file, ShareMode::kExclusive);
    f->Write(text.data(), text.size());
    f->Close();
    return true;
  } catch (const EFileError&) {
    return false;
  }
}

std::string FilesOnlyEnv::ToAnsi(std::string_view utf8) { return Utf8ToWindows1252(utf8); }

std::string FilesOnlyEnv::FromAnsi(std::string_view ansi) { return Windows1252ToUtf8(ansi); }

void FilesOnlyEnv::SleepMs(uint32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

void FilesOnlyEnv::StartThread(std::function<void()> fn, ThreadPriority /*priority*/) {
  std::thread(std::move(fn)).detach();
}

}  // namespace selvane
