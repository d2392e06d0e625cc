// What only the Windows Env does for real: shell links, the registry,
// processes, hidden commands, threads with priority, the executable's path.
#include "platform/windows_api.h"
// (first: the API's macros must be gone before Env is declared)
#include <gtest/gtest.h>
#include <objbase.h>
#include <shlobj.h>

#include <atomic>
#include <cstdlib>
#include <future>

#include "platform/env.h"

namespace selvane {
namespace {

constexpr char kDir[] = "C:\\selvane-win32-test\\";

struct LinkFields {
  std::wstring path, arguments, working_dir;
};

LinkFields LoadLink(const std::string& link_path) {
  LinkFields out;
  ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  IShellLinkW* link = nullptr;
  IPersistFile* file = nullptr;
  if (SUCCEEDED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                   reinterpret_cast<void**>(&link))) &&
      SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
      SUCCEEDED(file->Load(Wide(link_path).c_str(), STGM_READ))) {
    wchar_t buf[MAX_PATH] = {};
    if (SUCCEEDED(link->GetPath(buf, MAX_PATH, nullptr, SLGP_RAWPATH))) out.path = buf;
    buf[0] = 0;
    if (SUCCEEDED(link->GetArguments(buf, MAX_PATH))) out.arguments = buf;
    buf[0] = 0;
    if (SUCCEEDED(link->GetWorkingDirectory(buf, MAX_PATH))) out.working_dir = buf;
  }
  if (file != nullptr) file->Release();
  if (link != nullptr) link->Release();
  ::CoUninitialize();
  return out;
}

class Win32EnvTest : public ::testing::Test {
 protected:
  void SetUp() override { env_->CreateDirectory(kDir); }
  Env* env_ = DefaultEnv();
};

TEST_F(Win32EnvTest, ShellLinkIsSavedWithItsThreePropertiesAndReplaced) {
  const std::string link = std::string(kDir) + "Kavel Vendra-NFCe.lnk";
  env_->DeleteFile(link);
  env_->SaveShellLink(link, "C:\\old\\old.exe", "-x", "C:\\old\\");
  env_->SaveShellLink(link, "C:\\Kavel\\NFCE\\VendraNFCE.exe", "", "C:\\Kavel\\NFCE\\");
  ASSERT_TRUE(env_->FileExists(link));
  const LinkFields f = LoadLink(link);
  EXPECT_EQ(f.path, L"C:\\Kavel\\NFCE\\VendraNFCE.exe");
  EXPECT_EQ(f.arguments, L"");
  EXPECT_EQ(f.working_dir, L"C:\\Kavel\\NFCE\\");
  // A link that cannot be saved is simply missing; nothing is thrown.
  EXPECT_NO_THROW(env_->SaveShellLink("C:\\no-such-folder\\x.lnk", "C:\\a.exe", "", "C:\\"));
  EXPECT_FALSE(env_->FileExists("C:\\no-such-folder\\x.lnk"));
}

TEST_F(Win32EnvTest, ShellLinkWorksOnAThreadThatAlreadyRunsCom) {
  ASSERT_TRUE(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
  const std::string link = std::string(kDir) + "mta.lnk";
  env_->SaveShellLink(link, "C:\\Kavel\\MEI\\VendraMEI.exe", "", "C:\\Kavel\\MEI\\");
  ::CoUninitialize();
  EXPECT_EQ(LoadLink(link).path, L"C:\\Kavel\\MEI\\VendraMEI.exe");
}

TEST_F(Win32EnvTest, ReadsCurrentUserStrings) {
  const std::wstring key = L"Software\\SelvaneTest\\Shell Folders";
  HKEY h = nullptr;
  ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                              &h, nullptr),
            ERROR_SUCCESS);
  const std::wstring desktop = L"C:\\users\\relatório\\Desktop";
  ::RegSetValueExW(h, L"Desktop", 0, REG_SZ, reinterpret_cast<const BYTE*>(desktop.c_str()),
                   static_cast<DWORD>((desktop.size() + 1) * sizeof(wchar_t)));
  const DWORD number = 7;
  ::RegSetValueExW(h, L"Number", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
  ::RegCloseKey(h);

  EXPECT_EQ(env_->ReadCurrentUserString("Software\\SelvaneTest\\Shell Folders", "Desktop"),
            "C:\\users\\relatório\\Desktop");
  EXPECT_EQ(env_->ReadCurrentUserString("SOFTWARE\\selvanetest\\shell folders", "desktop"),
            "C:\\users\\relatório\\Desktop");
  EXPECT_FALSE(env_->ReadCurrentUserString("Software\\SelvaneTest\\Shell Folders", "Absent"));
  EXPECT_FALSE(env_->ReadCurrentUserString("Software\\SelvaneTest\\Shell Folders", "Number"));
  EXPECT_FALSE(env_->ReadCurrentUserString("Software\\SelvaneTest\\Missing", "Desktop"));
  ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\SelvaneTest");
}

TEST_F(Win32EnvTest, SnapshotListsThisProgramAndTerminateRefusesUnknownProcesses) {
  const std::string self = env_->ExecutablePath();
  ASSERT_GT(self.size(), 4u);
  const std::string name = self.substr(self.find_last_of('\\') + 1);
  EXPECT_EQ(name, "platform_tests.exe");
  bool found = false;
  for (const ProcessInfo& p : env_->SnapshotProcesses())
    if (p.pid == ::GetCurrentProcessId()) found = p.exe_name == name;
  EXPECT_TRUE(found);
  EXPECT_FALSE(env_->TerminateProcess(0xFFFFFFF0u, 0));
}

TEST_F(Win32EnvTest, RunHiddenStartsTheCommandWithoutWaiting) {
  const std::string marker = std::string(kDir) + "ran.txt";
  env_->DeleteFile(marker);
  ASSERT_TRUE(env_->RunHidden("cmd.exe /c echo ok> " + marker, kDir));
  for (int i = 0; i < 200 && !env_->FileExists(marker); ++i) env_->SleepMs(50);
  EXPECT_TRUE(env_->FileExists(marker));
  EXPECT_FALSE(env_->RunHidden("cmd.exe /c echo ok", "C:\\no-such-folder\\"));
  EXPECT_FALSE(env_->RunHidden("C:\\no-such-folder\\no-such-program.exe", kDir));
}

// The batch acts in the folder it is given, on whatever drive, and the
// interpreter is the system's even where a cmd.exe lies in that folder.
TEST_F(Win32EnvTest, RunHiddenRunsTheSystemInterpreterInTheGivenFolder) {
  const std::string folder = std::string(kDir) + "edition";
  env_->CreateDirectory(folder);
  const std::string fake = folder + "\\cmd.exe";
  {
    auto f = env_->Create(fake, ShareMode::kExclusive);
    f->Write("MZ not a program", 16);
    f->Close();
  }
  const std::string marker = folder + "\\where.txt";
  env_->DeleteFile(marker);
  ASSERT_TRUE(env_->RunHidden("cmd.exe /c cd> where.txt", folder));
  // The interpreter runs on its own: the file may exist before its line is in it.
  std::string where;
  for (int i = 0; i < 200 && where.find('\n') == std::string::npos; ++i) {
    env_->SleepMs(50);
    if (!env_->FileExists(marker)) continue;
    try {
      auto f = env_->OpenRead(marker, ShareMode::kReadWrite);
      char buf[256] = {};
      where.assign(buf, f->Read(buf, sizeof buf - 1));
    } catch (const std::exception&) {
      where.clear();  // still held by the interpreter
    }
  }
  EXPECT_EQ(where.substr(0, folder.size()), folder) << where;
  env_->DeleteFile(marker);
  env_->DeleteFile(fake);
}

// ctest runs this program with TZ=Europe/Lisbon; any zone with summer time will do.
TEST_F(Win32EnvTest, StampsWithTheZoneOffsetOfThatDate) {
  TIME_ZONE_INFORMATION zone;
  if (::GetTimeZoneInformation(&zone) == TIME_ZONE_ID_UNKNOWN || zone.StandardDate.wMonth == 0 ||
      zone.DaylightBias == 0)
    GTEST_SKIP() << "the local time zone has no summer time";
  const std::string file = std::string(kDir) + "zone.txt";
  env_->Create(file, ShareMode::kExclusive)->Close();
  // Noon on a winter and on a summer day (either hemisphere): the stamped UTC
  // times differ by the summer shift, whatever the season is today.
  int utc_hours[2] = {};
  const DosDateTime noon[2] = {{(41 << 9) | (1 << 5) | 15, 12 << 11},
                               {(41 << 9) | (7 << 5) | 15, 12 << 11}};
  for (int i = 0; i < 2; ++i) {
    ASSERT_TRUE(env_->SetLastWriteDos(file, noon[i]));
    WIN32_FILE_ATTRIBUTE_DATA data;
    ASSERT_TRUE(::GetFileAttributesExW(Wide(file).c_str(), GetFileExInfoStandard, &data));
    SYSTEMTIME utc;
    ASSERT_TRUE(::FileTimeToSystemTime(&data.ftLastWriteTime, &utc));
    utc_hours[i] = utc.wHour;
    EXPECT_EQ(env_->GetLastWriteDos(file), noon[i]);
  }
  EXPECT_EQ(std::abs(utc_hours[0] - utc_hours[1]) * 60, std::abs(zone.DaylightBias));
}

TEST_F(Win32EnvTest, ThreadsStartWithTheAskedPriority) {
  for (const auto& [priority, expected] :
       {std::pair{ThreadPriority::kAboveNormal, THREAD_PRIORITY_ABOVE_NORMAL},
        std::pair{ThreadPriority::kNormal, THREAD_PRIORITY_NORMAL}}) {
    std::promise<int> seen;
    env_->StartThread([&] { seen.set_value(::GetThreadPriority(::GetCurrentThread())); }, priority);
    EXPECT_EQ(seen.get_future().get(), expected);
  }
}

TEST_F(Win32EnvTest, FontCallsReturn) {
  EXPECT_FALSE(env_->AddFontResource(std::string(kDir) + "no-such-font.ttf"));
  env_->BroadcastFontChange();  // must come back even with no window of ours
}

}  // namespace
}  // namespace selvane
