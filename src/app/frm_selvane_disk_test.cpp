// The window controller over the native Env: real folders below a temporary
// drive C:, the hidden attribute, the shortcut file and a worker on its own
// thread.

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

#include "install/desktop_shortcut.h"
#include "app/frm_selvane.h"
#include "app/test_fakes.h"
#include "platform/posix_env.h"
#include "testing/recording_system_env.h"
#include "testing/scratch_dir.h"

namespace selvane {
namespace {

namespace fs = std::filesystem;

class FrmSelvaneDiskTest : public ::testing::Test {
 protected:
  FrmSelvaneDiskTest() {
    native_ = std::make_unique<PosixEnv>(root_);
    env_ = std::make_unique<RecordingSystemEnv>(native_.get());
    fs::create_directories(fs::path(root_) / "Windows");
    fs::create_directories(fs::path(root_) / "Users" / "ana" / "Desktop");
    env_->SetCurrentUserString(std::string(kShellFoldersKey), "Desktop", "C:\\Users\\ana\\Desktop");
  }
  ~FrmSelvaneDiskTest() override {
    while (workers_running > 0) std::this_thread::yield();
    frm_.reset();
  }

  // Starts the program from exe with a worker that, on its own thread, asks
  // for the shortcut on an installation and then ends; an update's does nothing.
  void Start(const std::string& exe) {
    env_->SetExecutablePath(exe);
    frm_ = std::make_unique<TFrmSelvane>(view_, *env_, port_, [this](const EditionInfo&, bool Instalacao, WindowPort& p) {
      if (!Instalacao) return;
      ++workers_running;
      env_->StartThread(
          [this, &p] {
            p.RequestShortcut();
            p.SetStatus("Concluído!");
            p.WorkerEnded();
            --workers_running;
          },
          ThreadPriority::kAboveNormal);
    });
    frm_->FormCreate();
    frm_->FormActivate();
  }

  std::atomic<int> workers_running{0};
  ScratchDir scratch_{"selvane-app"};
  std::string root_ = scratch_.path();
  std::unique_ptr<PosixEnv> native_;
  std::unique_ptr<RecordingSystemEnv> env_;
  testing::RecordingView view_;
  PostingWindowPort port_;
  std::unique_ptr<TFrmSelvane> frm_;
};

TEST_F(FrmSelvaneDiskTest, EcfInstallationMakesFoldersHiddenKvlAndTheShortcut) {
  Start("C:\\Kavel\\ECF\\Selvane.exe");
  EXPECT_TRUE(fs::is_directory(fs::path(root_) / "Kavel" / "ECF"));
  ASSERT_TRUE(env_->DirectoryExists("C:\\Windows\\kvl"));
  EXPECT_EQ(*env_->GetAttributes("C:\\Windows\\kvl") & (kAttrHidden | kAttrDirectory), kAttrHidden | kAttrDirectory);
  const auto link = env_->ReadShellLink("C:\\Users\\ana\\Desktop\\Kavel Vendra-ECF.lnk");
  ASSERT_TRUE(link.has_value());
  EXPECT_EQ(*link, (ShellLinkFields{"C:\\Kavel\\ECF\\VendraECF.exe", "", "C:\\Kavel\\ECF\\"}));
  EXPECT_EQ(fs::directory_iterator(fs::path(root_) / "Users" / "ana" / "Desktop")->path().filename(),
            "Kavel Vendra-ECF.lnk");
}

// The native Env finds names whatever their letter case, as Windows does; the
// dispatch still compares the executable's folder exactly.
TEST_F(FrmSelvaneDiskTest, FolderSpelledInOtherCaseShowsTheChoice) {
  fs::create_directories(fs::path(root_) / "Kavel" / "ECF");
  Start("C:\\kavel\\ECF\\Selvane.exe");
  EXPECT_TRUE(view_.choice_visible);
  EXPECT_EQ(frm_->Fields().PastaRaiz, "");
}

TEST_F(FrmSelvaneDiskTest, NfceUpdateLeavesSchemasAloneAndMakesNoShortcut) {
  fs::create_directories(fs::path(root_) / "Kavel" / "NFCE");
  std::ofstream(fs::path(root_) / "Kavel" / "NFCE" / "VendraNFCE.exe") << "MZ";
  Start("C:\\Kavel\\NFCE\\Selvane.exe");
  EXPECT_FALSE(env_->DirectoryExists("C:\\Kavel\\NFCE\\Schemas"));
  EXPECT_EQ(view_.title, "Atualização Kavel Vendra-NFCe");
  EXPECT_TRUE(fs::is_empty(fs::path(root_) / "Users" / "ana" / "Desktop"));
}

TEST_F(FrmSelvaneDiskTest, SelfUpdateLeftoversGoAtStart) {
  const fs::path mei = fs::path(root_) / "Kavel" / "MEI";
  fs::create_directories(mei);
  for (const char* f : {"AtualizaSistema.bat", "Selvane_old.exe", "Selvane.exe", "VendraMEI.exe"}) {
    std::ofstream(mei / f) << "x";
  }
  Start("C:\\Kavel\\MEI\\Selvane.exe");
  EXPECT_FALSE(fs::exists(mei / "AtualizaSistema.bat"));
  EXPECT_FALSE(fs::exists(mei / "Selvane_old.exe"));
  EXPECT_TRUE(fs::exists(mei / "Selvane.exe"));
  EXPECT_TRUE(fs::exists(mei / "VendraMEI.exe"));
}

}  // namespace
}  // namespace selvane
