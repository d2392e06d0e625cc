#include "install/start_system.h"

#include <gtest/gtest.h>

#include "install/batch_texts.h"
#include "install/recording_window.h"
#include "install/test_root.h"

namespace selvane {
namespace {

// Keeps a copy of the start batch as it stood when each batch run was started.
class BatchSnapshotEnv : public RecordingEnv {
 public:
  using RecordingEnv::RecordingEnv;
  bool RunHidden(const std::string& command_line, const std::string& current_folder) override {
    auto f = OpenRead("C:\\Kavel\\" + PastaRaiz + "\\IniciarSistema.bat", ShareMode::kReadWrite);
    std::string bytes;
    char buf[1024];
    for (size_t n; (n = f->Read(buf, sizeof buf)) != 0;) bytes.append(buf, n);
    batches.push_back(bytes);
    return RecordingEnv::RunHidden(command_line, current_folder);
  }
  std::string PastaRaiz;
  std::vector<std::string> batches;
};

class IniciarSistemaTest : public ::testing::Test {
 protected:
  IniciarSistemaTest() : env_(&root_.native()) {
    for (const char* d : {"C:\\Kavel\\ECF", "C:\\Kavel\\NFCE", "C:\\Kavel\\MEI", "C:\\Windows\\System32"}) {
      root_.MakeDir(d);
    }
    root_.Write("C:\\Kavel\\ECF\\rtl260.bpl", "rtl new");
    root_.Write("C:\\Kavel\\ECF\\vcl260.bpl", "vcl new");
  }

  void Run(Edition e, bool Instalacao) {
    const EditionInfo& ed = GetEdition(e);
    env_.PastaRaiz = std::string(ed.PastaRaiz);
    RecordingWindow window(std::string(ed.PastaRaiz));
    const size_t runs_before = env_.HiddenCommandFolders().size();
    IniciarSistema(env_, ed, window, Instalacao);
    EXPECT_TRUE(window.Events().empty()) << "the hand-over writes nothing on the window";
    // Both batch runs act in the edition folder, whatever the updater's own.
    const std::vector<std::string> folders = env_.HiddenCommandFolders();
    for (size_t i = runs_before; i < folders.size(); ++i) EXPECT_EQ(folders[i], "C:\\Kavel\\" + env_.PastaRaiz);
  }

  TestRoot root_;
  BatchSnapshotEnv env_;
};

TEST_F(IniciarSistemaTest, EcfInstallationRunsBothBatchesAroundTheFont) {
  Run(Edition::kECF, true);
  const std::string cmd = "run cmd.exe /c \"C:\\Kavel\\ECF\\IniciarSistema.bat\"";
  EXPECT_EQ(env_.log(),
            (std::vector<std::string>{
                "copy C:\\Kavel\\ECF\\rtl260.bpl C:\\Windows\\System32\\rtl260.bpl",
                "copy C:\\Kavel\\ECF\\vcl260.bpl C:\\Windows\\System32\\vcl260.bpl",
                cmd,
                "sleep 1000",
                "font C:\\Windows\\Fonts\\SailecRegular.ttf",
                "broadcast",
                cmd,
            }));
  ASSERT_EQ(env_.batches.size(), 2u);
  EXPECT_EQ(env_.batches[0], BatchFileBytes(env_, FontBatch(GetEdition(Edition::kECF))));
  EXPECT_EQ(env_.batches[1],
            "TASKKILL /F /IM \"Selvane.exe\"\r\ncd \"C:\\Kavel\\ECF\r\nServicoVendra.exe /install\r\n"
            "net start ServicoKavel\r\nstart VendraECF.exe\r\n");
  EXPECT_EQ(root_.Read("C:\\Windows\\System32\\rtl260.bpl"), "rtl new");
}

TEST_F(IniciarSistemaTest, PackagesGoToSysWow64WhenItExistsAndAreNeverReplaced) {
  root_.MakeDir("C:\\Windows\\SysWOW64");
  root_.Write("C:\\Windows\\SysWOW64\\vcl260.bpl", "vcl old");
  Run(Edition::kECF, false);
  EXPECT_EQ(root_.Read("C:\\Windows\\SysWOW64\\rtl260.bpl"), "rtl new");
  EXPECT_EQ(root_.Read("C:\\Windows\\SysWOW64\\vcl260.bpl"), "vcl old");
  EXPECT_FALSE(env_.FileExists("C:\\Windows\\System32\\rtl260.bpl"));
  // An update starts no service.
  EXPECT_EQ(env_.batches.back(), "TASKKILL /F /IM \"Selvane.exe\"\r\ncd \"C:\\Kavel\\ECF\r\nstart VendraECF.exe\r\n");
}

TEST_F(IniciarSistemaTest, MissingPackagesAreNotAFailure) {
  std::filesystem::remove(root_.HostPath("C:\\Kavel\\ECF\\rtl260.bpl"));
  EXPECT_NO_THROW(Run(Edition::kECF, true));
  EXPECT_FALSE(env_.FileExists("C:\\Windows\\System32\\rtl260.bpl"));
  EXPECT_EQ(env_.batches.size(), 2u);
}

TEST_F(IniciarSistemaTest, OtherEditionsCopyNoPackagesAndStartNoService) {
  for (Edition e : {Edition::kNFCE, Edition::kMEI}) {
    const EditionInfo& ed = GetEdition(e);
    env_.ClearLog();
    env_.batches.clear();
    Run(e, true);
    const std::string cmd = "run " + ed.start_batch_cmd;
    EXPECT_EQ(env_.log(), (std::vector<std::string>{cmd, "sleep 1000", "font C:\\Windows\\Fonts\\SailecRegular.ttf",
                                                   "broadcast", cmd}));
    ASSERT_EQ(env_.batches.size(), 2u);
    EXPECT_EQ(env_.batches[0], BatchFileBytes(env_, FontBatch(ed)));
    EXPECT_EQ(env_.batches[1], BatchFileBytes(env_, StartBatch(ed, ed.PastaRaiz, true)));
  }
}

TEST_F(IniciarSistemaTest, ABatchThatCannotBeSavedFails) {
  std::filesystem::remove_all(root_.HostPath("C:\\Kavel\\MEI"));
  EXPECT_THROW(Run(Edition::kMEI, false), EFCreateError);
  EXPECT_TRUE(env_.HiddenCommandLines().empty());
}

// A cmd.exe that the first batch run starts and that ends after `polls` waits;
// another cmd.exe of the user's runs all along.
class SlowBatchEnv : public BatchSnapshotEnv {
 public:
  using BatchSnapshotEnv::BatchSnapshotEnv;
  std::vector<ProcessInfo> SnapshotProcesses() override {
    std::vector<ProcessInfo> p = {{100, "cmd.exe"}};
    if (batch_running) p.push_back({200, "C:\\windows\\system32\\CMD.EXE"});
    return p;
  }
  bool RunHidden(const std::string& command_line, const std::string& current_folder) override {
    if (HiddenCommandLines().empty()) batch_running = true;
    return BatchSnapshotEnv::RunHidden(command_line, current_folder);
  }
  void SleepMs(uint32_t ms) override {
    RecordingEnv::SleepMs(ms);
    if (ms == kBatchPollMs && polls_left > 0 && --polls_left == 0) batch_running = false;
  }
  int polls_left = 0;
  bool batch_running = false;
};

TEST_F(IniciarSistemaTest, SecondBatchWaitsForTheFirstToEnd) {
  struct Case {
    int polls;      // waits until the first run ends; 0: it never ends
    size_t sleeps;  // poll waits expected
  };
  for (const Case& c : std::initializer_list<Case>{{3, 3}, {1, 1}, {0, kBatchEndLimitMs / kBatchPollMs}}) {
    SlowBatchEnv slow(&root_.native());
    slow.polls_left = c.polls;
    slow.PastaRaiz = "MEI";
    RecordingWindow window("MEI");
    IniciarSistema(slow, GetEdition(Edition::kMEI), window, false);
    const std::vector<std::string> log = slow.log();
    ASSERT_EQ(log.size(), 5 + c.sleeps) << c.polls;
    EXPECT_EQ(log[1], "sleep 1000");
    EXPECT_EQ(static_cast<size_t>(std::count(log.begin(), log.end(), "sleep 100")), c.sleeps);
    EXPECT_EQ(log[2 + c.sleeps], "font C:\\Windows\\Fonts\\SailecRegular.ttf");
    // The first run read its own batch, not the second.
    ASSERT_EQ(slow.batches.size(), 2u);
    EXPECT_EQ(slow.batches[0], BatchFileBytes(slow, FontBatch(GetEdition(Edition::kMEI))));
  }
}

}  // namespace
}  // namespace selvane
