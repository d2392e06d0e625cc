// Installations and updates of each edition against the reference server.

#include <gtest/gtest.h>

#include "install/batch_texts.h"
#include "install_fixture.h"

namespace selvane {
namespace {

using refserver::kTime1;
using refserver::kTime2;
using Texts = std::vector<std::string>;

class WorkerTest : public InstallFixture {};

TEST_F(WorkerTest, EcfInstallationThenUpdate) {
  repo_.Add("ECF/VendraECF.exe", "MZ vendra 1");
  repo_.Add("ECF/ServicoVendra.exe", "MZ servico");
  repo_.Add("ECF/rtl260.bpl", "rtl");
  repo_.Add("ECF/vcl260.bpl", "vcl");
  repo_.Add("ECF/SailecRegular.ttf", "font");
  repo_.Add("KVL/kvl.dat", "kvl data");
  StartServer();
  env().SetProcesses({{7, "VendraECF.exe"}});
  PrepareClient(Edition::kECF, true);
  PlaceCurrentUpdater(Edition::kECF);

  RecordingWindow& w = Run(Edition::kECF, true);
  EXPECT_EQ(w.StatusTexts(), (Texts{"Conectando com os Nossos Servidores...", "Conectado com Sucesso!",
                                    "Procurando Atualizações...", "Instalando... 20% Concluído.",
                                    "Instalando... 40% Concluído.", "Instalando... 60% Concluído.",
                                    "Instalando... 80% Concluído.", "Instalando... 100% Concluído.",
                                    "Atualizando! Aguarde...", "Concluíndo...", "Concluído!"}));
  const Texts events = w.Events();
  EXPECT_EQ(Texts(events.begin(), events.begin() + 2), (Texts{"animation: on", "close panel: off"}));
  EXPECT_EQ(Texts(events.end() - 5, events.end()),
            (Texts{"status: Concluíndo...", "shortcut", "status: Concluído!", "animation: off", "ended"}));

  const std::vector<std::pair<std::string, std::string>> installed = {
      {"VendraECF.exe", "MZ vendra 1"}, {"ServicoVendra.exe", "MZ servico"}, {"rtl260.bpl", "rtl"},
      {"vcl260.bpl", "vcl"},            {"SailecRegular.ttf", "font"}};
  for (const auto& [name, content] : installed) {
    EXPECT_EQ(root_.Read("C:\\Kavel\\ECF\\" + name), content);
    EXPECT_EQ(ClientTime("C:\\Kavel\\ECF\\" + name), RepoTime(kTime1)) << name;
  }
  EXPECT_EQ(root_.Read("C:\\Kavel\\ECF\\VendraECF.exe"), "MZ vendra 1");
  EXPECT_EQ(root_.Read("C:\\Windows\\kvl\\kvl.dat"), "kvl data");
  // The runtime packages went to the hidden folder too, and to the system folder.
  EXPECT_EQ(root_.Read("C:\\Windows\\kvl\\rtl260.bpl"), "rtl");
  EXPECT_EQ(root_.Read("C:\\Windows\\kvl\\vcl260.bpl"), "vcl");
  EXPECT_EQ(root_.Read("C:\\Windows\\System32\\rtl260.bpl"), "rtl");
  EXPECT_EQ(env().TerminatedPids(), (std::vector<uint32_t>{7}));
  EXPECT_EQ(root_.Read("C:\\Kavel\\ECF\\IniciarSistema.bat"),
            BatchFileBytes(env(), StartBatch(GetEdition(Edition::kECF), "ECF", true)));
  const std::string cmd = "run cmd.exe /c \"C:\\Kavel\\ECF\\IniciarSistema.bat\"";
  std::vector<std::string> expected_log = {"sleep 2000", "sleep 2000"};
  for (const char* n : {"rtl260.bpl", "vcl260.bpl"}) {
    expected_log.push_back(std::string("copy C:\\Kavel\\ECF\\") + n + " C:\\Windows\\kvl\\" + n);
  }
  for (const std::string& s :
       {std::string("sleep 500"), std::string("copy C:\\Kavel\\ECF\\rtl260.bpl C:\\Windows\\System32\\rtl260.bpl"),
        std::string("copy C:\\Kavel\\ECF\\vcl260.bpl C:\\Windows\\System32\\vcl260.bpl"), cmd,
        std::string("sleep 1000"), std::string("font C:\\Windows\\Fonts\\SailecRegular.ttf"),
        std::string("broadcast"), cmd}) {
    expected_log.push_back(s);
  }
  EXPECT_EQ(env().log(), expected_log);

  // The server publishes a changed file in each folder. The reference server
  // answers both methods of a folder alike, so the Recompoe step fetches it.
  repo_.Add("ECF/VendraECF.exe", "MZ vendra 2", kTime2);
  repo_.Add("KVL/kvl.dat", "kvl data 2", kTime2);
  env().ClearLog();
  RecordingWindow& u = Run(Edition::kECF, false);
  EXPECT_EQ(u.StatusTexts(), (Texts{"Conectando com os Nossos Servidores...", "Conectado com Sucesso!",
                                    "Procurando Atualizações...", "Atualizando! Aguarde...",
                                    "Atualizando! Aguarde...", "Concluíndo...", "Concluído!"}));
  const Texts update_events = u.Events();
  EXPECT_EQ(std::count(update_events.begin(), update_events.end(), "shortcut"), 0);
  EXPECT_EQ(root_.Read("C:\\Kavel\\ECF\\VendraECF.exe"), "MZ vendra 2");
  EXPECT_EQ(ClientTime("C:\\Kavel\\ECF\\VendraECF.exe"), RepoTime(kTime2));
  EXPECT_EQ(root_.Read("C:\\Windows\\kvl\\kvl.dat"), "kvl data 2");
  EXPECT_EQ(root_.Read("C:\\Kavel\\ECF\\IniciarSistema.bat"),
            "TASKKILL /F /IM \"Selvane.exe\"\r\ncd \"C:\\Kavel\\ECF\r\nstart VendraECF.exe\r\n");
  // An update copies no runtime package into the hidden folder.
  for (const std::string& entry : env().log()) EXPECT_EQ(entry.find("C:\\Windows\\kvl\\"), std::string::npos) << entry;
}

TEST_F(WorkerTest, NfceInstallationFillsSchemas) {
  repo_.Add("NFCE/VendraNFCE.exe", "MZ nfce");
  repo_.Add("NFCE/Schemas/nfe_v4.00.xsd", "<xsd/>");
  repo_.Add("NFCE/Schemas/tipos.xsd", "<tipos/>", kTime2);
  StartServer();
  PrepareClient(Edition::kNFCE, true);
  PlaceCurrentUpdater(Edition::kNFCE);

  RecordingWindow& w = Run(Edition::kNFCE, true);
  EXPECT_EQ(w.StatusTexts(), (Texts{"Conectando com os Nossos Servidores...", "Conectado com Sucesso!",
                                    "Procurando Atualizações...", "Instalando... 100% Concluído.",
                                    "Atualizando! Aguarde...", "Instalando... 50% Concluído.",
                                    "Instalando... 100% Concluído.", "Concluíndo...", "Concluído!"}));
  EXPECT_EQ(root_.Read("C:\\Kavel\\NFCE\\Schemas\\nfe_v4.00.xsd"), "<xsd/>");
  EXPECT_EQ(root_.Read("C:\\Kavel\\NFCE\\Schemas\\tipos.xsd"), "<tipos/>");
  EXPECT_EQ(ClientTime("C:\\Kavel\\NFCE\\Schemas\\tipos.xsd"), RepoTime(kTime2));
  EXPECT_EQ(root_.Read("C:\\Kavel\\NFCE\\IniciarSistema.bat"),
            "TASKKILL /F /IM \"Selvane.exe\"\r\ncd \"C:\\Kavel\\NFCE\r\nstart VendraNFCE.exe\r\n");
  EXPECT_FALSE(env().DirectoryExists("C:\\Windows\\kvl"));
}

TEST_F(WorkerTest, MeiUpdateShowsExactlyTheUpdateSequence) {
  repo_.Add("MEI/VendraMEI.exe", "MZ mei 2", kTime2);
  repo_.Add("MEI/dados.cfg", "cfg");
  StartServer();
  PrepareClient(Edition::kMEI, false);
  PlaceCurrentUpdater(Edition::kMEI);
  root_.Write("C:\\Kavel\\MEI\\VendraMEI.exe", "MZ mei 1");
  env().SetProcesses({{1, "VendraMEI.exe"}, {2, "VENDRAMEI.EXE"}, {3, "VendraECF.exe"}});

  RecordingWindow& w = Run(Edition::kMEI, false);
  EXPECT_EQ(w.StatusTexts(), (Texts{"Conectando com os Nossos Servidores...", "Conectado com Sucesso!",
                                    "Procurando Atualizações...", "Atualizando! Aguarde...",
                                    "Atualizando! Aguarde...", "Concluíndo...", "Concluído!"}));
  EXPECT_EQ(root_.Read("C:\\Kavel\\MEI\\VendraMEI.exe"), "MZ mei 2");
  EXPECT_EQ(root_.Read("C:\\Kavel\\MEI\\dados.cfg"), "cfg");
  EXPECT_EQ(env().TerminatedPids(), (std::vector<uint32_t>{1, 2}));
  // Nothing but the fetched files and the start batch was added.
  EXPECT_EQ(ClientFiles(), (std::vector<std::string>{"Kavel/MEI/IniciarSistema.bat", "Kavel/MEI/Selvane.exe",
                                                      "Kavel/MEI/VendraMEI.exe", "Kavel/MEI/dados.cfg",
                                                      "Kavel/MEI/selvane.ini"}));
}

TEST_F(WorkerTest, EightFilesShowTheRoundedPercentages) {
  for (int i = 1; i <= 8; ++i) repo_.Add("NFCE/f" + std::to_string(i) + ".dll", "file " + std::to_string(i));
  StartServer();
  PrepareClient(Edition::kNFCE, true);
  PlaceCurrentUpdater(Edition::kNFCE);

  RecordingWindow& w = Run(Edition::kNFCE, true);
  Texts percentages;
  for (const std::string& s : w.StatusTexts()) {
    if (s.starts_with("Instalando... ")) percentages.push_back(s);
  }
  EXPECT_EQ(percentages, (Texts{"Instalando... 12% Concluído.", "Instalando... 25% Concluído.",
                                "Instalando... 38% Concluído.", "Instalando... 50% Concluído.",
                                "Instalando... 62% Concluído.", "Instalando... 75% Concluído.",
                                "Instalando... 88% Concluído.", "Instalando... 100% Concluído."}));
  EXPECT_EQ(w.LastStatus(), "Concluído!");
}

TEST_F(WorkerTest, EmptyFetchListsFetchNothing) {
  repo_.Add("MEI/VendraMEI.exe", "MZ mei");
  StartServer();
  PrepareClient(Edition::kMEI, true);
  PlaceCurrentUpdater(Edition::kMEI);
  root_.Write("C:\\Kavel\\MEI\\VendraMEI.exe", "MZ mei");
  ASSERT_TRUE(DefineDataHoraArq(env(), "C:\\Kavel\\MEI\\VendraMEI.exe", RepoTime(kTime1)));

  // An installation over a current folder: no file request, no percentage.
  RecordingWindow& w = Run(Edition::kMEI, true);
  EXPECT_EQ(w.StatusTexts(), (Texts{"Conectando com os Nossos Servidores...", "Conectado com Sucesso!",
                                    "Procurando Atualizações...", "Atualizando! Aguarde...", "Concluíndo...",
                                    "Concluído!"}));
}

TEST_F(WorkerTest, FullServerPathsNameTheTargetByTheirLastComponent) {
  options_.repository.full_paths = true;
  repo_.Add("MEI/VendraMEI.exe", "MZ mei");
  StartServer();
  PrepareClient(Edition::kMEI, true);
  PlaceCurrentUpdater(Edition::kMEI);

  RecordingWindow& w = Run(Edition::kMEI, true);
  EXPECT_EQ(w.LastStatus(), "Concluído!");
  EXPECT_EQ(root_.Read("C:\\Kavel\\MEI\\VendraMEI.exe"), "MZ mei");
  EXPECT_FALSE(env().DirectoryExists("C:\\Kavel\\Servidor Atualizacao"));
}

TEST_F(WorkerTest, SettingsFileChoosesTheServerAndIsWrittenBack) {
  // The native build puts the two hosts on distinct loopback addresses and the
  // server listens on the internet one only: a run that picks the local-network
  // host cannot connect, so a wrong choice fails either way.
  ASSERT_STRNE(SELVANE_INTERNET_HOST, SELVANE_LAN_HOST);
  repo_.Add("MEI/VendraMEI.exe", "MZ mei");
  StartServer();
  PrepareClient(Edition::kMEI, false);
  PlaceCurrentUpdater(Edition::kMEI);
  const std::string ini = "C:\\Kavel\\MEI\\selvane.ini";
  struct Case {
    std::optional<std::string> before;
    const char* after;
    const char* host;
    const char* last_status;
  };
  constexpr const char* kDone = "Concluído!";
  constexpr const char* kNoConnection = "Não Foi Possível Conectar...";
  for (const Case& c : std::initializer_list<Case>{{std::nullopt, "nao", SELVANE_INTERNET_HOST, kDone},
                                                  {"nao", "nao", SELVANE_INTERNET_HOST, kDone},
                                                  {"sim", "sim", SELVANE_LAN_HOST, kNoConnection},
                                                  {"NAO", "sim", SELVANE_LAN_HOST, kNoConnection},
                                                  {"", "sim", SELVANE_LAN_HOST, kNoConnection},
                                                  {"talvez", "sim", SELVANE_LAN_HOST, kNoConnection}}) {
    std::filesystem::remove(root_.dir() + "/Kavel/MEI/selvane.ini");
    if (c.before) {
      ASSERT_TRUE(env().WriteProfileString(ini, "redelocal", "local", *c.before));
    }
    RecordingWindow& w = Run(Edition::kMEI, false);
    const std::string label = c.before.value_or("(none)");
    EXPECT_EQ(w.LastStatus(), c.last_status) << label;
    EXPECT_EQ(env().GetProfileString(ini, "redelocal", "local", "?"), c.after) << label;
    EXPECT_EQ(connection_->HostName(), c.host) << label;
  }
}

}  // namespace
}  // namespace selvane
