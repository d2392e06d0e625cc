// How a run ends when something fails: the status line shows the failure, the
// close button becomes usable again, and the worker ends.

#include <gtest/gtest.h>

#include "install_fixture.h"

namespace selvane {
namespace {

using Texts = std::vector<std::string>;

class FailureTest : public InstallFixture {
 protected:
  // The window's last events after a failed run.
  static Texts Ending(const RecordingWindow& w) {
    Texts e = w.Events();
    return Texts(e.end() - 3, e.end());
  }
};

TEST_F(FailureTest, UnreachableServerEndsBeforeAnythingIsTouched) {
  PrepareClient(Edition::kMEI, false);
  root_.Write("C:\\Kavel\\MEI\\VendraMEI.exe", "MZ mei");
  env().SetProcesses({{1, "VendraMEI.exe"}});

  RecordingWindow& w = Run(Edition::kMEI, false);  // no server started
  EXPECT_EQ(w.StatusTexts(), (Texts{"Conectando com os Nossos Servidores...", "Não Foi Possível Conectar..."}));
  EXPECT_EQ(Ending(w), (Texts{"close panel: on", "animation: off", "ended"}));
  EXPECT_TRUE(env().TerminatedPids().empty()) << "the point-of-sale program is left running";
  EXPECT_EQ(env().log(), (Texts{"sleep 2000"}));
  EXPECT_EQ(ClientFiles(), (std::vector<std::string>{"Kavel/MEI/VendraMEI.exe", "Kavel/MEI/selvane.ini"}));
}

TEST_F(FailureTest, UnwritableSettingsFileCountsAsNoConnection) {
  StartServer();
  PrepareClient(Edition::kMEI, false);
  // Started from a folder that does not exist: selvane.ini cannot be written.
  RecordingWindow& w = Run(Edition::kMEI, false, "C:\\Sumiu\\");
  EXPECT_EQ(w.StatusTexts(), (Texts{"Conectando com os Nossos Servidores...", "Não Foi Possível Conectar..."}));
  EXPECT_FALSE(connection_->Connected());
}

TEST_F(FailureTest, WorkPhaseFailureShowsItsOwnTextAndLeavesThePosClosed) {
  repo_.Add("MEI/VendraMEI.exe", "MZ mei 2", refserver::kTime2);
  options_.truncate_container = true;
  StartServer();
  PrepareClient(Edition::kMEI, false);
  PlaceCurrentUpdater(Edition::kMEI);
  root_.Write("C:\\Kavel\\MEI\\VendraMEI.exe", "MZ mei 1");
  env().SetProcesses({{1, "VendraMEI.exe"}});

  RecordingWindow& w = Run(Edition::kMEI, false);
  EXPECT_EQ(w.StatusTexts(), (Texts{"Conectando com os Nossos Servidores...", "Conectado com Sucesso!",
                                    "Procurando Atualizações...", "Atualizando! Aguarde...", "Stream read error"}));
  EXPECT_EQ(Ending(w), (Texts{"close panel: on", "animation: off", "ended"}));
  EXPECT_EQ(env().TerminatedPids(), (std::vector<uint32_t>{1}));
  EXPECT_EQ(root_.Read("C:\\Kavel\\MEI\\VendraMEI.exe"), "MZ mei 1");
  EXPECT_TRUE(env().HiddenCommandLines().empty()) << "nothing is started after a failure";
}

TEST_F(FailureTest, ServerDroppingMidRunShowsTheSocketText) {
  repo_.Add("MEI/VendraMEI.exe", std::string(300000, 'v'), refserver::kTime2);
  options_.drop_after_bytes = 100;
  StartServer();
  PrepareClient(Edition::kMEI, false);
  PlaceCurrentUpdater(Edition::kMEI);
  root_.Write("C:\\Kavel\\MEI\\VendraMEI.exe", "MZ mei 1");

  RecordingWindow& w = Run(Edition::kMEI, false);
  const Texts s = w.StatusTexts();
  ASSERT_EQ(s.size(), 5u);
  // The server closed the connection in the middle of a reply; a read under
  // the communication limit reports any failure as that limit's text.
  EXPECT_EQ(s.back(), "Communication timeout error");
  EXPECT_EQ(root_.Read("C:\\Kavel\\MEI\\VendraMEI.exe"), "MZ mei 1");
  EXPECT_EQ(ClientFiles(), (std::vector<std::string>{"Kavel/MEI/Selvane.exe", "Kavel/MEI/VendraMEI.exe",
                                                      "Kavel/MEI/selvane.ini"}));
}

TEST_F(FailureTest, HostileNameEndsTheRunNamingIt) {
  options_.repository.extra_entries = {"..\\..\\Windows\\System32\\.."};
  StartServer();
  PrepareClient(Edition::kMEI, true);
  PlaceCurrentUpdater(Edition::kMEI);
  RecordingWindow& w = Run(Edition::kMEI, true);
  EXPECT_EQ(w.LastStatus(), "Nome de arquivo inválido recebido do servidor: \"..\\..\\Windows\\System32\\..\"");
  EXPECT_EQ(ClientFiles(), (std::vector<std::string>{"Kavel/MEI/Selvane.exe", "Kavel/MEI/selvane.ini"}));
}

}  // namespace
}  // namespace selvane
