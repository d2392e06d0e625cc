#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <optional>
#include <vector>

#include "platform/posix_env.h"
#include "platform/system_error_text.h"
#include "testing/env_contract.h"
#include "testing/scratch_dir.h"

namespace selvane {
namespace {

namespace fs = std::filesystem;

// One temporary root per test program; a time zone with summer time, so that
// local-time conversions are exercised on both sides of a change.
class TempRoot : public ::testing::Environment {
 public:
  void SetUp() override {
    setenv("TZ", "Europe/Lisbon", 1);
    tzset();
    scratch = std::make_unique<ScratchDir>("selvane-env");
    root = scratch->path();
    env = std::make_unique<PosixEnv>(root);
  }
  void TearDown() override {
    env.reset();
    scratch.reset();
  }
  static inline std::unique_ptr<ScratchDir> scratch;
  static inline std::string root;
  static inline std::unique_ptr<PosixEnv> env;
};
const auto* const kRoot = ::testing::AddGlobalTestEnvironment(new TempRoot);

ContractSubject Posix() {
  return {TempRoot::env.get(), "C:\\selvane-test\\", kFileNotFoundText, kPathNotFoundText,
          kAccessDeniedText, kSharingViolationText};
}
INSTANTIATE_TEST_SUITE_P(Posix, EnvContract, ::testing::Values(&Posix));

TEST(PosixEnvTest, RefusesTheRealRootAndAnEmptyOne) {
  for (const char* root : {"", "/", "//"})
    EXPECT_THROW(PosixEnv{root}, std::invalid_argument) << root;
}

TEST(PosixEnvTest, MapsDrivePathsBelowTheRootOnly) {
  PosixEnv& env = *TempRoot::env;
  const std::string& root = TempRoot::root;
  EXPECT_EQ(env.HostPath("C:\\"), root);
  EXPECT_EQ(env.HostPath("c:/x/y.txt"), root + "/x/y.txt");
  EXPECT_EQ(env.HostPath("C:\\x\\..\\..\\..\\etc\\passwd"), root + "/etc/passwd");
  for (const char* outside : {"D:\\x", "x\\y", "\\\\server\\share\\f", "C:relative", "C:\\a*b"})
    EXPECT_FALSE(env.HostPath(outside).has_value()) << outside;
  EXPECT_FALSE(env.FileExists("D:\\x"));
  EXPECT_THROW(env.OpenRead("\\\\server\\share\\f", ShareMode::kReadWrite), EFOpenError);
}

TEST(PosixEnvTest, StampsWithTheZoneOffsetOfThatDate) {
  // Lisbon: UTC in winter, UTC+1 in summer.
  PosixEnv& env = *TempRoot::env;
  ASSERT_TRUE(env.CreateDirectory("C:\\zone"));
  env.Create("C:\\zone\\f.txt", ShareMode::kExclusive)->Close();
  struct Case {
    CivilTime local;
    time_t utc;
  };
  for (const Case& c : {Case{{2021, 1, 15, 12, 0, 0, 0}, 1610712000},    // 12:00 UTC
                        Case{{2021, 7, 15, 12, 0, 0, 0}, 1626346800}}) {  // 11:00 UTC
    const auto dos = PackDosDateTime(c.local);
    ASSERT_TRUE(env.SetLastWriteDos("C:\\zone\\f.txt", *dos));
    EXPECT_EQ(fs::last_write_time(TempRoot::root + "/zone/f.txt").time_since_epoch(),
              fs::file_time_type::clock::from_sys(std::chrono::system_clock::from_time_t(c.utc))
                  .time_since_epoch());
    EXPECT_EQ(env.GetLastWriteDos("C:\\zone\\f.txt"), dos);
  }
}

TEST(PosixEnvTest, ReadOnlyFollowsTheFileMode) {
  PosixEnv& env = *TempRoot::env;
  ASSERT_TRUE(env.CreateDirectory("C:\\mode"));
  std::ofstream(TempRoot::root + "/mode/f.txt") << "x";
  EXPECT_EQ(env.GetAttributes("C:\\mode\\f.txt"), kAttrArchive);
  ASSERT_TRUE(env.SetAttributes("C:\\mode\\f.txt", kAttrReadOnly | kAttrArchive));
  EXPECT_EQ(fs::status(TempRoot::root + "/mode/f.txt").permissions() & fs::perms::owner_write,
            fs::perms::none);
  ASSERT_TRUE(env.SetAttributes("C:\\mode\\f.txt", 0));
  EXPECT_EQ(env.GetAttributes("C:\\mode\\f.txt"), kAttrNormal);
  EXPECT_NE(fs::status(TempRoot::root + "/mode/f.txt").permissions() & fs::perms::owner_write,
            fs::perms::none);
  EXPECT_FALSE(env.SetAttributes("C:\\mode\\none.txt", kAttrHidden));
}

// A folder's names are looked up without case through an index of it; what
// other programs do to the folder after it was indexed shows at once.
TEST(PosixEnvTest, NamesIgnoreCaseWhoeverChangesTheFolder) {
  PosixEnv& env = *TempRoot::env;
  const std::string host = TempRoot::root + "/outside";
  struct Case {
    const char* change;
    std::function<void()> make;
    const char* asked;
    std::optional<std::string> resolves_to;  // the host name found, or none
  };
  const auto write = [&](const std::string& name) { std::ofstream(host + "/" + name) << "x"; };
  const std::vector<Case> cases = {
      {"created", [&] { write("Novo.TXT"); }, "novo.txt", "Novo.TXT"},
      {"deleted", [&] { fs::remove(host + "/Novo.TXT"); }, "NOVO.txt", std::nullopt},
      {"renamed in", [&] { write("a.tmp"), fs::rename(host + "/a.tmp", host + "/Vindo.Ini"); }, "vindo.ini",
       "Vindo.Ini"},
      {"renamed away", [&] { fs::rename(host + "/Vindo.Ini", host + "/b.tmp"); }, "VINDO.INI", std::nullopt},
      {"replaced by a folder of the same path",
       [&] {
         fs::rename(host, host + "-old");
         fs::create_directory(host);
         write("Outra.Dat");
       },
       "OUTRA.DAT", "Outra.Dat"},
      {"a second spelling beside the first, the first deleted",
       [&] {
         write("outra.dat");
         fs::remove(host + "/Outra.Dat");
       },
       "OUTRA.DAT", "outra.dat"},
  };
  fs::create_directory(host);
  EXPECT_FALSE(env.FileExists("C:\\outside\\nothing.txt"));  // the folder is indexed from here on
  for (const Case& c : cases) {
    c.make();
    const std::string path = std::string("C:\\outside\\") + c.asked;
    EXPECT_EQ(env.FileExists(path), c.resolves_to.has_value()) << c.change;
    if (c.resolves_to) {
      EXPECT_EQ(env.HostPath(path), host + "/" + *c.resolves_to) << c.change;
    }
  }
  fs::remove_all(host + "-old");
}

// What Linux cannot do is answered as a failure, never as a pretended success.
TEST(PosixEnvTest, SystemServicesAnswerAsAbsent) {
  PosixEnv& env = *TempRoot::env;
  EXPECT_TRUE(env.SnapshotProcesses().empty());
  EXPECT_FALSE(env.TerminateProcess(1, 0));
  EXPECT_FALSE(env.RunHidden("cmd.exe /c \"C:\\Kavel\\ECF\\IniciarSistema.bat\"", "C:\\Kavel\\ECF\\"));
  EXPECT_FALSE(env.AddFontResource("C:\\Windows\\Fonts\\SailecRegular.ttf"));
  env.BroadcastFontChange();
  EXPECT_FALSE(env.ReadCurrentUserString("Software", "Desktop").has_value());
  ASSERT_TRUE(env.CreateDirectory("C:\\links") || env.DirectoryExists("C:\\links"));
  try {
    env.SaveShellLink("C:\\links\\x.lnk", "a", "b", "c");
    ADD_FAILURE() << "a shell link was saved";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "Class not registered");
  }
  EXPECT_FALSE(env.FileExists("C:\\links\\x.lnk"));
  EXPECT_THROW(env.ExecutablePath(), std::logic_error);
}

TEST(PosixEnvTest, StartThreadRunsTheFunction) {
  std::promise<int> done;
  TempRoot::env->StartThread([&] { done.set_value(7); }, ThreadPriority::kAboveNormal);
  EXPECT_EQ(done.get_future().get(), 7);
}

}  // namespace
}  // namespace selvane
