#include "testing/recording_system_env.h"

#include <gtest/gtest.h>

#include "testing/memory_env.h"

namespace selvane {
namespace {

TEST(RecordingSystemEnvTest, StandInsRecordWhatWasAsked) {
  MemoryEnv files;
  RecordingSystemEnv env(&files);
  env.SetProcesses({{10, "VendraECF.exe"}, {11, "C:\\Kavel\\ECF\\VENDRAECF.EXE"}});
  EXPECT_TRUE(env.TerminateProcess(11, 0));
  EXPECT_FALSE(env.TerminateProcess(11, 0));
  EXPECT_EQ(env.SnapshotProcesses().size(), 1u);
  EXPECT_EQ(env.TerminatedPids(), (std::vector<uint32_t>{11, 11}));

  EXPECT_TRUE(env.RunHidden("cmd.exe /c \"C:\\Kavel\\ECF\\IniciarSistema.bat\"", "C:\\Kavel\\ECF\\"));
  env.SetRunHiddenResult(false);
  EXPECT_FALSE(env.RunHidden("cmd.exe /c second", "C:\\Kavel\\MEI\\"));
  EXPECT_EQ(env.HiddenCommandLines().size(), 2u);
  EXPECT_EQ(env.HiddenCommandFolders(), (std::vector<std::string>{"C:\\Kavel\\ECF\\", "C:\\Kavel\\MEI\\"}));

  EXPECT_TRUE(env.AddFontResource("C:\\Windows\\Fonts\\SailecRegular.ttf"));
  env.BroadcastFontChange();
  EXPECT_EQ(env.AddedFonts(), (std::vector<std::string>{"C:\\Windows\\Fonts\\SailecRegular.ttf"}));
  EXPECT_EQ(env.FontChangeBroadcasts(), 1);

  const std::string shell = "Software\\MicroSoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
  EXPECT_FALSE(env.ReadCurrentUserString(shell, "Desktop").has_value());
  env.SetCurrentUserString(shell, "Desktop", "C:\\Desktop");
  EXPECT_EQ(env.ReadCurrentUserString(
                "software\\microsoft\\windows\\currentversion\\explorer\\shell folders", "DESKTOP"),
            "C:\\Desktop");

  EXPECT_EQ(env.ExecutablePath(), "C:\\Downloads\\Selvane.exe");
  env.SetExecutablePath("C:\\Kavel\\MEI\\Selvane.exe");
  EXPECT_EQ(env.ExecutablePath(), "C:\\Kavel\\MEI\\Selvane.exe");
  // Nothing of this reached the Env behind.
  EXPECT_TRUE(files.Files().empty());
}

TEST(RecordingSystemEnvTest, ShellLinkStandInSavesReplacesAndFails) {
  MemoryEnv files;
  RecordingSystemEnv env(&files);
  ASSERT_TRUE(env.CreateDirectory("C:\\Desktop"));
  const std::string link = "C:\\Desktop\\Kavel Vendra-NFCe.lnk";
  env.SaveShellLink(link, "C:\\old.exe", "-x", "C:\\");
  env.SaveShellLink("C:\\DESKTOP\\kavel vendra-nfce.LNK", "C:\\Kavel\\NFCE\\VendraNFCE.exe", "", "C:\\Kavel\\NFCE\\");
  const ShellLinkFields nfce{"C:\\Kavel\\NFCE\\VendraNFCE.exe", "", "C:\\Kavel\\NFCE\\"};
  EXPECT_EQ(env.ReadShellLink(link), nfce);
  EXPECT_EQ(files.Files(), (std::vector<std::string>{link}));
  // A link that cannot be saved is simply missing; the request is recorded.
  env.SaveShellLink("C:\\NoDesktop\\x.lnk", "a", "b", "c");
  EXPECT_FALSE(env.ReadShellLink("C:\\NoDesktop\\x.lnk").has_value());
  const auto saved = env.SavedShellLinks();
  ASSERT_EQ(saved.size(), 2u);
  EXPECT_EQ(saved[0].fields, nfce);
  EXPECT_EQ(saved[1].path, "C:\\NoDesktop\\x.lnk");
  env.SetShellLinkFailure("Class not registered");
  EXPECT_THROW(env.SaveShellLink(link, "a", "b", "c"), std::runtime_error);
  EXPECT_EQ(env.ReadShellLink(link), nfce);
}

}  // namespace
}  // namespace selvane
