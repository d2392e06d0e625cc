// The name guard against Windows itself: what Windows takes as a device the
// guard refuses, and a name the guard accepts is created by Windows as that
// very file inside the folder.

#include "platform/windows_api.h"
// (first: the API's macros must be gone before Env is declared)
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "install/windows_names.h"

namespace selvane {
namespace {

// Every form a device name can take, and names that only look like one.
const std::vector<std::string> kCandidates = {
    "CON",        "con.txt",    "PRN ",       "AUX.dll",    "NUL . .",      "nul.tar.gz", "COM0",
    "COM1",       "com9.log",   "LPT0",       "LPT1.txt",   "COM\xC2\xB9",  "LPT\xC2\xB3.bin",
    "CONIN$",     "CONOUT$",    "CLOCK$",     "CONSOLE",    "COM10",        "LPTX",       "NULL.txt",
    "xCON",       "relatório.txt", "leiame. .", "vendas "};

TEST(WindowsNames, WhatWindowsTakesAsADeviceIsRefused) {
  using IsDosDeviceName = ULONG(WINAPI*)(PCWSTR);
  const auto fn = reinterpret_cast<IsDosDeviceName>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "RtlIsDosDeviceName_U")));
  ASSERT_NE(fn, nullptr);
  int devices = 0;
  for (const std::string& name : kCandidates) {
    if (fn(Wide("C:\\Kavel\\ECF\\" + name).c_str()) == 0) continue;
    ++devices;
    EXPECT_TRUE(IsDeviceName(name)) << name << " is a device to Windows";
    EXPECT_THROW(PlainFileNameFromServer(name), EInvalidFileName) << name;
  }
  EXPECT_GE(devices, 8) << "Windows recognised too few devices for the check to mean anything";
}

TEST(WindowsNames, AnAcceptedNameIsTheFileWindowsCreates) {
  Env& env = *DefaultEnv();
  const std::string dir = "C:\\selvane-names-wintest-" + std::to_string(::GetCurrentProcessId()) + "\\";
  ASSERT_TRUE(env.CreateDirectory(dir));
  int accepted = 0;
  for (const std::string& name : kCandidates) {
    std::string plain;
    try {
      plain = PlainFileNameFromServer(name);
    } catch (const EInvalidFileName&) {
      continue;
    }
    SCOPED_TRACE(name);
    ++accepted;
    env.Create(dir + name, ShareMode::kExclusive)->Write("x", 1);
    std::vector<std::string> listed;
    for (const DirEntry& e : env.FindFiles(dir + "*.*")) {
      if ((e.attributes & kAttrDirectory) == 0) listed.push_back(e.name);
    }
    EXPECT_EQ(listed, std::vector<std::string>{plain});
    EXPECT_TRUE(env.DeleteFile(dir + plain));
  }
  EXPECT_GE(accepted, 6);
  ::RemoveDirectoryW(Wide(dir).c_str());
}

}  // namespace
}  // namespace selvane
