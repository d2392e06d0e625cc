// The new-updater check against real Windows programs: the running program
// passes, and the bricking kinds of file are refused.

#include "platform/windows_api.h"
// (first: the API's macros must be gone before Env is declared)
#include <gtest/gtest.h>

#include <string>

#include "install/test_updater_image.h"
#include "install/updater_check.h"

namespace selvane {
namespace {

TEST(CheckNewUpdaterOnWindows, TheRunningProgramPassesAndNoiseDoesNot) {
  Env& env = *DefaultEnv();
  // This test program is a Windows program for the machine it runs on.
  EXPECT_NO_THROW(CheckNewUpdater(env, env.ExecutablePath(), 1));
  // A system library is a program file, but no program.
  wchar_t system[MAX_PATH];
  ASSERT_GT(::GetSystemDirectoryW(system, MAX_PATH), 0u);
  EXPECT_THROW(CheckNewUpdater(env, Narrow(system) + "\\kernel32.dll", 1), EInvalidUpdater);

  const std::string dir = "C:\\selvane-updater-wintest-" + std::to_string(::GetCurrentProcessId()) + "\\";
  ASSERT_TRUE(env.CreateDirectory(dir));
  constexpr uint16_t kOther = kRunningMachine == kMachineAmd64 ? kMachineI386 : kMachineAmd64;
  for (const std::string& bytes : {std::string(6000, 'z'), std::string(), TestUpdaterImage("other", kOther)}) {
    env.Create(dir + "Selvane_new.exe", ShareMode::kExclusive)->Write(bytes.data(), bytes.size());
    EXPECT_THROW(CheckNewUpdater(env, dir + "Selvane_new.exe", 1), EInvalidUpdater);
  }
  EXPECT_THROW(CheckNewUpdater(env, env.ExecutablePath(), 0), EInvalidUpdater);
  env.DeleteFile(dir + "Selvane_new.exe");
  ::RemoveDirectoryW(Wide(dir).c_str());
}

}  // namespace
}  // namespace selvane
