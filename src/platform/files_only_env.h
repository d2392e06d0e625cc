#pragma once
// The part of an Env that has no Windows system around it: the native Env on
// Linux and the in-memory Env. They hold files, profile strings, a code page,
// time and threads; the system services below answer as a system without them
// would, each in the failure form its call already has, so that nothing
// reports a success that did not happen:
//
//   SnapshotProcesses      no process: an empty list
//   TerminateProcess       false (there is no such process)
//   RunHidden              false (nothing was started)
//   AddFontResource        false (no font was added)
//   BroadcastFontChange    returns at once: there is no window to tell
//   SaveShellLink          throws std::runtime_error "Class not registered",
//                          as when the shell link object cannot be created
//   ReadCurrentUserString  nullopt: there is no registry
//   ExecutablePath         throws std::logic_error: the program has no
//                          Windows path here
//
// Tests that need these services put a recording stand-in in front
// (testing/recording_system_env.h).

#include "platform/env.h"

namespace selvane {

class FilesOnlyEnv : public Env {
 public:
  static constexpr char kNoShellLinkText[] = "Class not registered";

  std::string ExecutablePath() override;
  std::vector<ProcessInfo> SnapshotProcesses() override;
  bool TerminateProcess(uint32_t pid, uint32_t exit_code) override;
  bool RunHidden(const std::string& command_line) override;
  bool AddFontResource(const std::string& path) override;
  void BroadcastFontChange() override;
  void SaveShellLink(const std::string& link_path, const std::string& target,
                     const std::string& arguments, const std::string& working_dir) override;
  std::optional<std::string> ReadCurrentUserString(const std::string& key,
                                                   const std::string& value) override;
};

}  // namespace selvane
