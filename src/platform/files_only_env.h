#pragma once
// The part of an Env that has no Windows system around it: the native Env on
// Linux and the in-memory Env. They implement the file operations; this class
// builds the rest on them: profile strings read and written through the Env's
// own files as GetPrivateProfileString and WritePrivateProfileString do,
// Windows-1252 as the code page, real sleeping and detached threads. The
// system services below answer as a system without them would, each in the
// failure form its call already has, so that nothing reports a success that
// did not happen:
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
//   ProgramsHoldingFile    none known: an empty list
//
// Tests that need these services put a recording stand-in in front
// (testing/recording_system_env.h).

#include "platform/env.h"

namespace selvane {

class FilesOnlyEnv : public Env {
 public:
  static constexpr char kNoShellLinkText[] = "Class not registered";

  SELVANE_ENV_SYSTEM_SERVICES
  SELVANE_ENV_PROFILE_CODE_PAGE_AND_THREADS
  SELVANE_ENV_FILE_HOLDERS

 private:
  // The whole file, read with read/write sharing; nullopt when it is no file
  // or cannot be opened (a holder that grants no sharing keeps it closed).
  std::optional<std::string> ReadWholeFile(const std::string& path);
};

}  // namespace selvane
