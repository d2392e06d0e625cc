#include "testing/memory_env.h"

#include <gtest/gtest.h>

#include "platform/system_error_text.h"
#include "testing/env_contract.h"

namespace selvane {
namespace {

ContractSubject Memory() {
  static MemoryEnv env;
  return {&env, "C:\\selvane-test\\", kFileNotFoundText, kPathNotFoundText, kAccessDeniedText,
          kSharingViolationText};
}
INSTANTIATE_TEST_SUITE_P(Memory, EnvContract, ::testing::Values(&Memory));

double At(int y, int mo, int d, int h, int mi, int s) { return *DateTimeFromCivil({y, mo, d, h, mi, s, 0}); }

TEST(MemoryEnvTest, FilesTakeTheInjectedClockAndSleepsMoveIt) {
  MemoryEnv env;
  env.SetNow(At(2023, 5, 6, 7, 8, 10));
  env.PutFile("C:\\Kavel\\ECF\\a.txt", "a");
  EXPECT_EQ(env.GetLastWriteDos("C:\\Kavel\\ECF\\a.txt"), DosDateTimeFromDateTime(At(2023, 5, 6, 7, 8, 10)));
  env.SleepMs(2000);
  env.SleepMs(60000);
  EXPECT_EQ(env.Sleeps(), 2);
  EXPECT_EQ(env.SleptMs(), 62000u);
  EXPECT_DOUBLE_EQ(env.Now(), At(2023, 5, 6, 7, 9, 12));
  auto f = env.Create("C:\\Kavel\\ECF\\a.txt", ShareMode::kExclusive);
  env.SleepMs(4000);
  f->Write("b", 1);  // every write stamps the file anew
  f->Close();
  EXPECT_EQ(env.GetLastWriteDos("C:\\Kavel\\ECF\\a.txt"), DosDateTimeFromDateTime(At(2023, 5, 6, 7, 9, 16)));
  EXPECT_EQ(env.Contents("C:\\Kavel\\ECF\\a.txt"), "b");
}

TEST(MemoryEnvTest, ListsWhatItHoldsAsSpelled) {
  MemoryEnv env;
  env.PutFile("C:\\Kavel\\NFCE\\Schemas\\nfe.xsd", "x");
  env.PutFile("c:\\kavel\\nfce\\VendraNFCE.exe", "MZ");
  env.MakeDirs("C:\\Windows\\kvl\\");
  EXPECT_EQ(env.Files(), (std::vector<std::string>{"C:\\Kavel\\NFCE\\Schemas\\nfe.xsd",
                                                    "C:\\Kavel\\NFCE\\VendraNFCE.exe"}));
  EXPECT_EQ(env.Folders(), (std::vector<std::string>{"C:\\Kavel", "C:\\Kavel\\NFCE", "C:\\Kavel\\NFCE\\Schemas",
                                                      "C:\\Windows", "C:\\Windows\\kvl"}));
  EXPECT_EQ(env.Contents("C:\\KAVEL\\NFCE\\vendranfce.exe"), "MZ");
  EXPECT_EQ(env.Contents("C:\\Kavel\\NFCE"), std::nullopt);
}

// Names that sort between a folder and its contents ("A1" lies between "A"
// and "A\x") neither hide the folder's entries nor move with it.
TEST(MemoryEnvTest, FoldersMoveWithEverythingBelowThem) {
  MemoryEnv env;
  env.PutFile("C:\\A\\x.txt", "x");
  env.PutFile("C:\\A\\B\\y.txt", "y");
  env.PutFile("C:\\A1\\z.txt", "z");
  std::vector<std::string> names;
  for (const DirEntry& e : env.FindFiles("C:\\A\\*.*")) names.push_back(e.name);
  EXPECT_EQ(names, (std::vector<std::string>{".", "..", "B", "x.txt"}));
  ASSERT_TRUE(env.MoveFileReplace("C:\\A", "C:\\C"));
  EXPECT_EQ(env.Files(), (std::vector<std::string>{"C:\\A1\\z.txt", "C:\\C\\B\\y.txt", "C:\\C\\x.txt"}));
  EXPECT_FALSE(env.MoveFileReplace("C:\\C", "C:\\C\\B\\D"));  // not into itself
  EXPECT_FALSE(env.MoveFileReplace("C:\\C", "C:\\A1"));      // a folder replaces nothing
  EXPECT_TRUE(env.MoveFileReplace("C:\\C\\x.txt", "C:\\c\\X.TXT"));
  EXPECT_EQ(env.Files()[2], "C:\\C\\X.TXT");  // only the name takes the new spelling
}

TEST(MemoryEnvTest, OtherDrivesAndBadNamesReachNothing) {
  MemoryEnv env;
  struct Case {
    const char* path;
    const char* reason;
  };
  for (const Case& c : {Case{"D:\\x.txt", kPathNotFoundText}, Case{"x.txt", kPathNotFoundText},
                        Case{"\\\\server\\share\\f", kPathNotFoundText}, Case{"C:\\a*b", kBadPathSyntaxText}}) {
    SCOPED_TRACE(c.path);
    EXPECT_FALSE(env.CreateDirectory(c.path));
    EXPECT_FALSE(env.FileExists(c.path));
    try {
      env.Create(c.path, ShareMode::kExclusive);
      ADD_FAILURE() << "created";
    } catch (const EFCreateError& e) {
      EXPECT_EQ(e.what(), CreateErrorMessage(c.path, c.reason));
    }
  }
}

}  // namespace
}  // namespace selvane
