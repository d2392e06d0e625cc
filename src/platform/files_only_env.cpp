#include "platform/files_only_env.h"

#include <stdexcept>

namespace selvane {

std::string FilesOnlyEnv::ExecutablePath() {
  throw std::logic_error("The running program has no Windows path on this platform");
}

std::vector<ProcessInfo> FilesOnlyEnv::SnapshotProcesses() { return {}; }

bool FilesOnlyEnv::TerminateProcess(uint32_t, uint32_t) { return false; }

bool FilesOnlyEnv::RunHidden(const std::string&) { return false; }

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

}  // namespace selvane
