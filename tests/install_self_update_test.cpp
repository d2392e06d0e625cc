// The updater bringing itself up to date before it touches the edition.

#include <gtest/gtest.h>

#include <filesystem>

#include "install/batch_texts.h"
#include "install/updater_check.h"
#include "install_fixture.h"

namespace selvane {
namespace {

using refserver::kTime1;
using refserver::kTime2;
using Texts = std::vector<std::string>;

class SelfUpdateTest : public InstallFixture {
 protected:
  void SetUp() override { repo_.Add("ECF/VendraECF.exe", "MZ vendra"); }

  // The restart: status, the 3000 ms wait, the batch run hidden, the request to end.
  void ExpectRestart(const RecordingWindow& w, const std::string& batch_cmd) {
    EXPECT_EQ(w.StatusTexts(), (Texts{"Conectando com os Nossos Servidores...", "Conectado com Sucesso!",
                                      "Procurando Atualizações...", "Atualizado! Reiniciando o Aplicativo..."}));
    const Texts events = w.Events();
    EXPECT_EQ(Texts(events.end() - 3, events.end()), (Texts{"terminate", "animation: off", "ended"}));
    EXPECT_EQ(env().log(), (Texts{"sleep 2000", "sleep 2000", "sleep 3000", "run " + batch_cmd}));
    // In the edition folder, whatever folder or drive the updater runs from.
    EXPECT_EQ(env().HiddenCommandFolders(), (Texts{"C:\\Kavel\\" + w.PastaRaiz()}));
  }
};

TEST_F(SelfUpdateTest, FirstRunCopiesTheUpdaterIntoTheEditionFolder) {
  StartServer();
  PrepareClient(Edition::kECF, true);
  root_.MakeDir("C:\\Users\\caixa\\Downloads");
  const EditionInfo& ecf = GetEdition(Edition::kECF);

  RecordingWindow& w = Run(Edition::kECF, true, "C:\\Users\\caixa\\Downloads\\");
  ExpectRestart(w, ecf.update_batch_cmd);
  EXPECT_EQ(root_.Read("C:\\Kavel\\ECF\\Selvane_new.exe"), kUpdaterBytes);
  EXPECT_EQ(ClientTime("C:\\Kavel\\ECF\\Selvane_new.exe"), RepoTime(kTime1));
  EXPECT_EQ(root_.Read("C:\\Kavel\\ECF\\AtualizaSistema.bat"), BatchFileBytes(env(), FirstCopyBatch(ecf)));
  // Nothing of the edition yet; the settings file stays in the download folder.
  EXPECT_EQ(ClientFiles(), (std::vector<std::string>{"Kavel/ECF/AtualizaSistema.bat", "Kavel/ECF/Selvane_new.exe",
                                                      "Users/caixa/Downloads/selvane.ini"}));
  EXPECT_TRUE(env().HiddenCommandLines().size() == 1);

  // What the batch does, then the new updater's run from the edition folder.
  ASSERT_TRUE(env().MoveFileReplace("C:\\Kavel\\ECF\\Selvane_new.exe", "C:\\Kavel\\ECF\\Selvane.exe"));
  env().ClearLog();
  RecordingWindow& second = Run(Edition::kECF, true);
  EXPECT_EQ(second.LastStatus(), "Concluído!");
  EXPECT_EQ(root_.Read("C:\\Kavel\\ECF\\VendraECF.exe"), "MZ vendra");
  EXPECT_EQ(env().GetProfileString("C:\\Kavel\\ECF\\selvane.ini", "redelocal", "local", "?"), "nao");
}

TEST_F(SelfUpdateTest, NewerUpdaterOnTheServerIsSwappedInByTheTenLineBatch) {
  repo_.Add("updater/Selvane.exe", kNewUpdaterBytes, kTime2);
  StartServer();
  PrepareClient(Edition::kMEI, false);
  PlaceCurrentUpdater(Edition::kMEI);  // build 1, older than the server's
  const EditionInfo& mei = GetEdition(Edition::kMEI);

  RecordingWindow& w = Run(Edition::kMEI, false);
  ExpectRestart(w, mei.update_batch_cmd);
  EXPECT_EQ(root_.Read("C:\\Kavel\\MEI\\Selvane.exe"), kUpdaterBytes);
  EXPECT_EQ(root_.Read("C:\\Kavel\\MEI\\Selvane_new.exe"), kNewUpdaterBytes);
  EXPECT_EQ(ClientTime("C:\\Kavel\\MEI\\Selvane_new.exe"), RepoTime(kTime2));
  EXPECT_EQ(root_.Read("C:\\Kavel\\MEI\\AtualizaSistema.bat"), BatchFileBytes(env(), ReplacementBatch(mei)));
  EXPECT_FALSE(env().FileExists("C:\\Kavel\\MEI\\Selvane_new.zip"));
}

TEST_F(SelfUpdateTest, FailedUpdaterFetchStartsNoBatch) {
  repo_.Add("updater/Selvane.exe", kNewUpdaterBytes, kTime2);
  options_.truncate_container = true;
  StartServer();
  PrepareClient(Edition::kMEI, false);
  PlaceCurrentUpdater(Edition::kMEI);

  RecordingWindow& w = Run(Edition::kMEI, false);
  EXPECT_EQ(w.LastStatus(), "Stream read error");
  EXPECT_TRUE(env().HiddenCommandLines().empty());
  EXPECT_EQ(root_.Read("C:\\Kavel\\MEI\\Selvane.exe"), kUpdaterBytes);
  EXPECT_FALSE(env().FileExists("C:\\Kavel\\MEI\\AtualizaSistema.bat"));
  const Texts events = w.Events();
  EXPECT_EQ(std::count(events.begin(), events.end(), "terminate"), 0);
}

// A newer updater that is no program for this machine is found before the
// batch is written: the run fails with its text, the running updater stays,
// nothing is swapped, nothing restarts; on a first copy nothing is left.
TEST_F(SelfUpdateTest, AnUpdaterThatIsNoProgramForThisMachineIsRefused) {
  constexpr uint16_t kOther = kRunningMachine == kMachineAmd64 ? kMachineI386 : kMachineAmd64;
  struct Case {
    const char* what;
    std::string bytes;
    const char* reason;
  };
  const std::vector<Case> cases = {
      {"a few KB of noise", std::string(5000, '\x7F'), "não é um programa do Windows."},
      {"an empty file", "", "tamanho de 0 bytes fora do esperado para um programa."},
      {"a program for the other machine", TestUpdaterImage("other", kOther), "é um programa para outro processador."},
  };
  for (const bool first_copy : {false, true}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(::testing::Message() << c.what << (first_copy ? ", first copy" : ", replacement"));
      repo_.Add("updater/Selvane.exe", c.bytes, kTime2);
      StartServer();
      PrepareClient(Edition::kMEI, false);
      if (first_copy) {
        env().DeleteFile("C:\\Kavel\\MEI\\Selvane.exe");
      } else {
        PlaceCurrentUpdater(Edition::kMEI);
      }
      env().ClearLog();
      RecordingWindow& w = Run(Edition::kMEI, false);
      EXPECT_EQ(w.LastStatus(), std::string("O atualizador recebido do servidor não é válido: ") + c.reason);
      ExpectRunningUpdaterKept(w, first_copy);
      conn_.reset();
      server_->Stop();
      for (const std::string& f : ClientFiles()) std::filesystem::remove(root_.dir() + "/" + f);
    }
  }
}

}  // namespace
}  // namespace selvane
