#pragma once
// Stand-ins for the system services that tests cannot or must not use for
// real, in front of any Env (native, in-memory, fault-injecting); every other
// call goes to that Env. What was asked is recorded for the test to look at:
//
//   processes    a process table that the test sets; TerminateProcess removes
//                the entry and records the pid, found or not;
//   RunHidden    records the command line and its folder, runs nothing,
//                returns a set result;
//   fonts        AddFontResource and BroadcastFontChange only record;
//   shell links  SaveShellLink records the link and writes a small text file
//                at the link path through the Env behind ("Target=",
//                "Arguments=", "WorkingDirectory=" lines); a link whose file
//                cannot be written is missing, as the real save's result is
//                ignored; or it throws a set text;
//   registry     ReadCurrentUserString returns values that the test presets;
//   executable   ExecutablePath is settable (default "C:\Downloads\Selvane.exe").

#include <mutex>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/env_wrapper.h"

namespace selvane {

// The three properties a shell link holds.
struct ShellLinkFields {
  std::string target;
  std::string arguments;
  std::string working_dir;
  friend bool operator==(const ShellLinkFields&, const ShellLinkFields&) = default;
};

struct SavedShellLink {
  std::string path;
  ShellLinkFields fields;
};

class RecordingSystemEnv : public EnvWrapper {
 public:
  using EnvWrapper::EnvWrapper;

  SELVANE_ENV_SYSTEM_SERVICES

  void SetExecutablePath(std::string path);
  void SetProcesses(std::vector<ProcessInfo> processes);
  std::vector<uint32_t> TerminatedPids() const;
  void SetRunHiddenResult(bool result);
  std::vector<std::string> HiddenCommandLines() const;
  // The current folder of each hidden command, in the same order.
  std::vector<std::string> HiddenCommandFolders() const;
  std::vector<std::string> AddedFonts() const;
  int FontChangeBroadcasts() const;
  // While not empty, SaveShellLink throws this text, as when the shell link
  // object cannot be created.
  void SetShellLinkFailure(std::string text);
  // Every link asked for, one per path (letter case ignored): a second save
  // of a path replaces the first.
  std::vector<SavedShellLink> SavedShellLinks() const;
  // Reads back the file SaveShellLink wrote; nullopt when there is none.
  std::optional<ShellLinkFields> ReadShellLink(const std::string& link_path);
  void SetCurrentUserString(const std::string& key, const std::string& value, const std::string& data);
  void ClearCurrentUserStrings();

 private:
  mutable std::mutex mu_;
  std::string executable_path_ = "C:\\Downloads\\Selvane.exe";
  std::vector<ProcessInfo> processes_;
  std::vector<uint32_t> terminated_;
  bool run_hidden_result_ = true;
  std::vector<std::string> hidden_command_lines_;
  std::vector<std::string> hidden_command_folders_;
  std::vector<std::string> added_fonts_;
  int font_broadcasts_ = 0;
  std::string shell_link_failure_;
  std::vector<SavedShellLink> links_;
  std::map<std::string, std::string> current_user_strings_;  // upper-cased "key\value"
};

}  // namespace selvane
