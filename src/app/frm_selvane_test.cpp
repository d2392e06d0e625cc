#include "app/frm_selvane.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

#include "install/desktop_shortcut.h"
#include "app/test_fakes.h"

namespace selvane {
namespace {

using testing::RecordingView;
using testing::WindowEnv;

constexpr char kDesktop[] = "C:\\Users\\ana\\Desktop";

struct Launch {
  Edition edition;
  bool Instalacao;
};

// A window of its own, for tables of cases: its worker records how it was
// started and ends at once.
struct Window {
  Window() { env.files.MakeDirs("C:\\Windows"); }
  RecordingView view;
  WindowEnv env;
  PostingWindowPort port;
  std::vector<Launch> launches;
  TFrmSelvane form{view, env, port, [this](const EditionInfo& e, bool Instalacao, WindowPort& p) {
                     launches.push_back({e.edition, Instalacao});
                     p.WorkerEnded();
                   }};
};

class FrmSelvaneTest : public ::testing::Test {
 protected:
  FrmSelvaneTest() {
    env_.SetCurrentUserString(std::string(kShellFoldersKey), "Desktop", kDesktop);
    env_.files.MakeDirs("C:\\Windows");
  }

  // What the worker does as soon as it is started; by default it just ends.
  std::function<void(WindowPort&)> worker_ = [](WindowPort& p) { p.WorkerEnded(); };

  TFrmSelvane& Form() {
    if (!frm_) {
      frm_ = std::make_unique<TFrmSelvane>(view_, env_, posting_, [this](const EditionInfo& e, bool Instalacao, WindowPort& p) {
        launches_.push_back({e.edition, Instalacao});
        port_ = &p;
        if (worker_) worker_(p);
      });
    }
    return *frm_;
  }

  void Start(const std::string& exe_path) {
    env_.SetExecutablePath(exe_path);
    Form().FormCreate();
    Form().FormActivate();
  }

  RecordingView view_;
  WindowEnv env_;
  std::vector<Launch> launches_;
  WindowPort* port_ = nullptr;
  PostingWindowPort posting_;        // outlives the window, as in the program
  std::unique_ptr<TFrmSelvane> frm_; // last: goes before the view and the env
};

TEST_F(FrmSelvaneTest, DispatchByExecutableFolder) {
  struct Case {
    const char* exe;
    std::optional<Edition> edition;  // nullopt: the choice panel
  };
  const Case cases[] = {
      {"C:\\Kavel\\ECF\\Selvane.exe", Edition::kECF},
      {"C:\\Kavel\\NFCE\\Selvane.exe", Edition::kNFCE},
      {"C:\\Kavel\\MEI\\Selvane.exe", Edition::kMEI},
      {"C:\\Kavel\\MEI\\Instalador.exe", Edition::kMEI},
      {"c:\\kavel\\ecf\\Selvane.exe", std::nullopt},
      {"C:\\KAVEL\\MEI\\Selvane.exe", std::nullopt},
      {"C:\\Kavel\\Nfce\\Selvane.exe", std::nullopt},
      {"C:\\Users\\ana\\Downloads\\Selvane.exe", std::nullopt},
      {"C:\\Kavel\\Selvane.exe", std::nullopt},
      {"C:\\Kavel\\ECF\\Backup\\Selvane.exe", std::nullopt},
      {"D:\\Kavel\\ECF\\Selvane.exe", std::nullopt},
      {"Selvane.exe", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.exe);
    Window w;
    w.env.SetExecutablePath(c.exe);
    w.form.FormCreate();
    w.form.FormActivate();
    EXPECT_TRUE(w.env.DirectoryExists("C:\\Kavel"));
    if (c.edition) {
      ASSERT_EQ(w.launches.size(), 1u);
      EXPECT_EQ(w.launches[0].edition, *c.edition);
      EXPECT_FALSE(w.view.choice_ever_shown);
      EXPECT_EQ(w.form.Fields().PastaRaiz, GetEdition(*c.edition).PastaRaiz);
    } else {
      EXPECT_TRUE(w.launches.empty());
      EXPECT_TRUE(w.view.choice_visible);
      EXPECT_EQ(w.view.title, "");
      EXPECT_EQ(w.view.status, "Aguardando...");
      EXPECT_EQ(w.form.Fields().PastaRaiz, "");
    }
  }
}

TEST_F(FrmSelvaneTest, DispatchRunsOnlyOnFirstActivation) {
  env_.files.PutFile("C:\\Kavel\\MEI\\VendraMEI.exe", "");
  Start("C:\\Kavel\\MEI\\Selvane.exe");
  Form().FormActivate();
  view_.events.form_activate();
  EXPECT_EQ(launches_.size(), 1u);
}

TEST_F(FrmSelvaneTest, ChoiceWaitsForAClickThenRunsThatEditionOnce) {
  Start("C:\\Users\\ana\\Downloads\\Selvane.exe");
  EXPECT_TRUE(launches_.empty());
  ASSERT_TRUE(view_.events.choice_click);
  view_.events.choice_click(Edition::kNFCE);
  EXPECT_FALSE(view_.choice_visible);
  ASSERT_EQ(launches_.size(), 1u);
  EXPECT_EQ(launches_[0].edition, Edition::kNFCE);
  EXPECT_EQ(view_.title, "Instalação Kavel Vendra-NFCe");
  // A second click queued behind the first starts nothing.
  Form().Panel2Click();
  Form().Panel4Click();
  EXPECT_EQ(launches_.size(), 1u);
  EXPECT_EQ(Form().Fields().PastaRaiz, "NFCE");
}

TEST_F(FrmSelvaneTest, ChoiceButtonsPickTheirEdition) {
  const std::pair<void (TFrmSelvane::*)(), Edition> buttons[] = {
      {&TFrmSelvane::Panel2Click, Edition::kECF},
      {&TFrmSelvane::Panel3Click, Edition::kNFCE},
      {&TFrmSelvane::Panel4Click, Edition::kMEI},
  };
  for (const auto& [click, edition] : buttons) {
    Window w;
    w.form.FormActivate();
    (w.form.*click)();
    ASSERT_EQ(w.launches.size(), 1u);
    EXPECT_EQ(w.launches[0].edition, edition);
  }
}

// Each launcher, on installation and on update: the worker's mode, the title,
// PastaRaiz and the folders it creates.
TEST_F(FrmSelvaneTest, Launchers) {
  struct Case {
    Edition edition;
    bool installed;
    const char* title;
    std::vector<std::string> created;  // folders that exist afterwards
    std::vector<std::string> absent;   // folders that still do not exist
  };
  const Case cases[] = {
      {Edition::kECF, false, "Instalação Kavel Vendra-ECF", {"C:\\Kavel\\ECF", "C:\\Windows\\kvl"}, {}},
      {Edition::kECF, true, "Atualização Kavel Vendra-ECF", {"C:\\Windows\\kvl"}, {}},
      {Edition::kNFCE,
       false,
       "Instalação Kavel Vendra-NFCe",
       {"C:\\Kavel\\NFCE", "C:\\Kavel\\NFCE\\Schemas"},
       {"C:\\Windows\\kvl"}},
      {Edition::kNFCE, true, "Atualização Kavel Vendra-NFCe", {}, {"C:\\Kavel\\NFCE\\Schemas", "C:\\Windows\\kvl"}},
      {Edition::kMEI, false, "Instalação Kavel Vendra-MEI", {"C:\\Kavel\\MEI"}, {"C:\\Windows\\kvl"}},
      {Edition::kMEI, true, "Atualização Kavel Vendra-MEI", {}, {"C:\\Windows\\kvl"}},
  };
  for (const Case& c : cases) {
    const EditionInfo& ed = GetEdition(c.edition);
    SCOPED_TRACE(c.title);
    RecordingView v;
    WindowEnv e;
    e.files.MakeDirs("C:\\Windows");
    e.files.MakeDirs("C:\\Kavel");
    if (c.installed) {
      e.files.MakeDirs(ed.edition_folder);
      e.files.PutFile(ed.pos_executable, "");
    }
    std::vector<Launch> started;
    WindowPort* p = nullptr;
    PostingWindowPort pw;
    TFrmSelvane form(v, e, pw, [&](const EditionInfo& ei, bool Instalacao, WindowPort& wp) {
      // The worker may read these as soon as it runs.
      EXPECT_EQ(wp.PastaRaiz(), ed.PastaRaiz);
      EXPECT_EQ(v.title, c.title);
      started.push_back({ei.edition, Instalacao});
      p = &wp;
    });
    if (!c.installed) v.on_pass = [&](int) { p->WorkerEnded(); };
    const std::pair<Edition, void (TFrmSelvane::*)()> launchers[] = {
        {Edition::kECF, &TFrmSelvane::IniciarAtualizacaoPAFECF},
        {Edition::kNFCE, &TFrmSelvane::IniciarAtualizacaoNFCE},
        {Edition::kMEI, &TFrmSelvane::IniciarAtualizacaoDNF},
    };
    for (const auto& [which, launcher] : launchers) {
      if (which == c.edition) (form.*launcher)();
    }
    ASSERT_EQ(started.size(), 1u);
    EXPECT_EQ(started[0].edition, c.edition);
    EXPECT_EQ(started[0].Instalacao, !c.installed);
    EXPECT_EQ(v.title, c.title);
    EXPECT_EQ(form.Fields().PastaRaiz, ed.PastaRaiz);
    for (const auto& f : c.created) EXPECT_TRUE(e.DirectoryExists(f)) << f;
    for (const auto& f : c.absent) EXPECT_FALSE(e.DirectoryExists(f)) << f;
    if (e.DirectoryExists("C:\\Windows\\kvl")) {
      EXPECT_EQ(*e.GetAttributes("C:\\Windows\\kvl"), 18u);
    }
    // An update returns at once: no wait, no flag touched.
    if (c.installed) {
      EXPECT_EQ(v.process_passes, 0);
      EXPECT_FALSE(form.Fields().ThreadRodando);
      EXPECT_FALSE(form.Fields().CriarAtalhoAguardando);
    }
    EXPECT_TRUE(e.SavedShellLinks().empty());
  }
}

TEST_F(FrmSelvaneTest, ExistingKvlFolderKeepsItsAttributes) {
  for (bool installed : {false, true}) {
    SCOPED_TRACE(installed ? "update" : "installation");
    Window w;
    w.env.files.MakeDirs("C:\\Windows\\kvl");
    ASSERT_TRUE(w.env.SetAttributes("C:\\Windows\\kvl", kAttrDirectory | kAttrReadOnly));
    if (installed) w.env.files.PutFile("C:\\Kavel\\ECF\\VendraECF.exe", "");
    w.form.IniciarAtualizacaoPAFECF();
    ASSERT_EQ(w.launches.size(), 1u);
    EXPECT_EQ(*w.env.GetAttributes("C:\\Windows\\kvl"), kAttrDirectory | kAttrReadOnly);
  }
}

TEST_F(FrmSelvaneTest, UpdateOfNfceWithSchemasMissingLeavesItMissing) {
  env_.files.MakeDirs("C:\\Kavel\\NFCE");
  env_.files.PutFile("C:\\Kavel\\NFCE\\VendraNFCE.exe", "");
  Start("C:\\Kavel\\NFCE\\Selvane.exe");
  ASSERT_EQ(launches_.size(), 1u);
  EXPECT_FALSE(launches_[0].Instalacao);
  EXPECT_FALSE(env_.DirectoryExists("C:\\Kavel\\NFCE\\Schemas"));
}

TEST_F(FrmSelvaneTest, InstallationSetsTheFlagsBeforeStartingTheWorker) {
  worker_ = [this](WindowPort& p) {
    EXPECT_TRUE(frm_->Fields().ThreadRodando);
    EXPECT_FALSE(frm_->Fields().CriarAtalhoAguardando);
    p.WorkerEnded();
  };
  Start("C:\\Kavel\\MEI\\Selvane.exe");
  ASSERT_EQ(launches_.size(), 1u);
  EXPECT_TRUE(launches_[0].Instalacao);
}

// The installation wait keeps handling the window's messages until the worker
// asks for the shortcut, ends, or the application is told to end.
TEST_F(FrmSelvaneTest, InstallationWaitEndsOnShortcutRequest) {
  worker_ = nullptr;
  view_.on_pass = [this](int pass) {
    if (pass == 3) port_->SetStatus("Concluíndo...");
    if (pass == 5) port_->RequestShortcut();
  };
  Start("C:\\Users\\ana\\Downloads\\Selvane.exe");
  Form().Panel3Click();
  EXPECT_EQ(view_.process_passes, 5);
  EXPECT_EQ(view_.status, "Concluíndo...");
  ASSERT_EQ(env_.SavedShellLinks().size(), 1u);
  EXPECT_EQ(env_.SavedShellLinks()[0].path, std::string(kDesktop) + "\\Kavel Vendra-NFCe.lnk");
  EXPECT_FALSE(Form().Fields().CriarAtalhoAguardando);
  // The worker goes on: its later messages still reach the window.
  EXPECT_TRUE(Form().Fields().ThreadRodando);
  port_->SetStatus("Concluído!");
  port_->WorkerEnded();
  view_.ProcessMessages();
  EXPECT_EQ(view_.status, "Concluído!");
  EXPECT_FALSE(Form().Fields().ThreadRodando);
  EXPECT_EQ(env_.SavedShellLinks().size(), 1u);
}

TEST_F(FrmSelvaneTest, InstallationWaitEndsOnWorkerEndWithoutShortcut) {
  worker_ = nullptr;
  view_.on_pass = [this](int pass) {
    if (pass == 1) {
      port_->SetAnimation(true);
      port_->SetClosePanelEnabled(false);
      port_->SetStatus("Conectando com os Nossos Servidores...");
    }
    if (pass == 4) {
      port_->SetStatus("Não Foi Possível Conectar...");
      port_->SetClosePanelEnabled(true);
      port_->SetAnimation(false);
      port_->WorkerEnded();
    }
  };
  Start("C:\\Kavel\\ECF\\Selvane.exe");
  EXPECT_EQ(view_.process_passes, 4);
  EXPECT_EQ(view_.status, "Não Foi Possível Conectar...");
  EXPECT_FALSE(view_.animation);
  EXPECT_TRUE(view_.close_enabled);
  EXPECT_FALSE(Form().Fields().ThreadRodando);
  EXPECT_TRUE(env_.SavedShellLinks().empty());
  EXPECT_FALSE(view_.terminated);
}

TEST_F(FrmSelvaneTest, InstallationWaitEndsWhenTheApplicationIsToldToEnd) {
  worker_ = nullptr;
  view_.on_pass = [this](int pass) {
    if (pass == 2) port_->TerminateApplication();
  };
  Start("C:\\Kavel\\MEI\\Selvane.exe");
  EXPECT_TRUE(view_.terminated);
  EXPECT_EQ(view_.process_passes, 2);
  EXPECT_TRUE(Form().Fields().ThreadRodando);
  EXPECT_TRUE(env_.SavedShellLinks().empty());
}

TEST_F(FrmSelvaneTest, ShortcutRequestIsServedEvenIfTheWorkerHasAlreadyEnded) {
  worker_ = [](WindowPort& p) {
    p.RequestShortcut();
    p.SetStatus("Concluído!");
    p.WorkerEnded();
  };
  Start("C:\\Kavel\\ECF\\Selvane.exe");
  ASSERT_EQ(env_.SavedShellLinks().size(), 1u);
  EXPECT_EQ(env_.SavedShellLinks()[0].path, std::string(kDesktop) + "\\Kavel Vendra-ECF.lnk");
}

TEST_F(FrmSelvaneTest, WaitYieldsBetweenPasses) {
  worker_ = nullptr;
  view_.on_pass = [this](int pass) {
    if (pass == 10) port_->WorkerEnded();
  };
  Start("C:\\Kavel\\MEI\\Selvane.exe");
  // The wait ran until the worker ended, and yielded once after every pass.
  EXPECT_EQ(view_.process_passes, 10);
  EXPECT_EQ(env_.files.Sleeps(), view_.process_passes);
}

TEST_F(FrmSelvaneTest, ShortcutOperations) {
  struct Case {
    void (TFrmSelvane::*op)();
    SavedShellLink link;
  };
  const std::string d = kDesktop;
  const Case cases[] = {
      {&TFrmSelvane::CriarAtalhosECF,
       {d + "\\Kavel Vendra-ECF.lnk", {"C:\\Kavel\\ECF\\VendraECF.exe", "", "C:\\Kavel\\ECF\\"}}},
      {&TFrmSelvane::CriarAtalhosNFCE,
       {d + "\\Kavel Vendra-NFCe.lnk", {"C:\\Kavel\\NFCE\\VendraNFCE.exe", "", "C:\\Kavel\\NFCE\\"}}},
      {&TFrmSelvane::CriarAtalhosDNF,
       {d + "\\Kavel Vendra-MEI.lnk", {"C:\\Kavel\\MEI\\VendraMEI.exe", "", "C:\\Kavel\\MEI\\"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.link.path);
    const size_t before = env_.SavedShellLinks().size();
    (Form().*c.op)();
    (Form().*c.op)();  // a second one replaces the first
    const auto links = env_.SavedShellLinks();
    ASSERT_EQ(links.size(), before + 1);
    EXPECT_EQ(links.back().path, c.link.path);
    EXPECT_EQ(links.back().fields, c.link.fields);
  }
}

TEST_F(FrmSelvaneTest, ShortcutWithoutKnownDesktopIsNotMade) {
  env_.ClearCurrentUserStrings();
  worker_ = [](WindowPort& p) { p.RequestShortcut(); };
  Start("C:\\Kavel\\MEI\\Selvane.exe");
  EXPECT_TRUE(env_.SavedShellLinks().empty());
  EXPECT_FALSE(Form().Fields().CriarAtalhoAguardando);
  EXPECT_TRUE(view_.errors.empty());
}

// A shell link object that cannot be created raises on the window thread: the
// wait is left and the error reaches the message box; the worker carries on.
TEST_F(FrmSelvaneTest, FailedShortcutCreationShowsTheErrorAndLeavesTheWait) {
  env_.SetShellLinkFailure("Classe não registrada");
  worker_ = [](WindowPort& p) { p.RequestShortcut(); };
  env_.SetExecutablePath("C:\\Kavel\\NFCE\\Selvane.exe");
  Form();
  view_.events.form_create();
  view_.events.form_activate();
  ASSERT_EQ(view_.errors.size(), 1u);
  EXPECT_EQ(view_.errors[0], "Classe não registrada");
  EXPECT_TRUE(env_.SavedShellLinks().empty());
  EXPECT_FALSE(view_.terminated);
  port_->SetStatus("Concluído!");
  view_.ProcessMessages();
  EXPECT_EQ(view_.status, "Concluído!");
}

TEST_F(FrmSelvaneTest, WorkerMessagesTakeEffectOnlyWhenTheWindowThreadProcessesThem) {
  env_.files.PutFile("C:\\Kavel\\MEI\\VendraMEI.exe", "");
  worker_ = nullptr;
  Start("C:\\Kavel\\MEI\\Selvane.exe");
  port_->SetAnimation(true);
  port_->SetClosePanelEnabled(false);
  port_->SetStatus("Conectado com Sucesso!");
  EXPECT_EQ(view_.status, "Aguardando...");
  EXPECT_FALSE(view_.animation);
  EXPECT_TRUE(view_.close_enabled);
  view_.ProcessMessages();
  EXPECT_EQ(view_.status, "Conectado com Sucesso!");
  EXPECT_TRUE(view_.animation);
  EXPECT_FALSE(view_.close_enabled);
  port_->TerminateApplication();
  EXPECT_FALSE(view_.terminated);
  EXPECT_FALSE(view_.ProcessMessages());
  EXPECT_TRUE(view_.terminated);
}

// A step of 2000 files repeats each percentage about twenty times: the window
// gets every change of text, in order, and no repeat of the text it shows.
TEST_F(FrmSelvaneTest, AStatusTextIsPostedOnlyWhenItChanges) {
  env_.files.PutFile("C:\\Kavel\\MEI\\VendraMEI.exe", "");
  worker_ = nullptr;
  Start("C:\\Kavel\\MEI\\Selvane.exe");
  view_.statuses.clear();
  for (const char* text : {"Atualizando... 0% Concluído.", "Atualizando... 0% Concluído.",
                           "Atualizando... 1% Concluído.", "Atualizando... 1% Concluído."}) {
    port_->SetStatus(text);
  }
  port_->SetAnimation(false);  // other messages between do not make a repeat a change
  port_->SetStatus("Atualizando... 1% Concluído.");
  port_->SetStatus("Concluído!");
  port_->SetStatus("Atualizando... 1% Concluído.");
  view_.ProcessMessages();
  EXPECT_EQ(view_.statuses, (std::vector<std::string>{"Atualizando... 0% Concluído.", "Atualizando... 1% Concluído.",
                                                      "Concluído!", "Atualizando... 1% Concluído."}));
}

TEST_F(FrmSelvaneTest, CloseButtonsEndTheApplication) {
  Form().ImageButton3Click();
  EXPECT_TRUE(view_.terminated);
  view_.terminated = false;
  Form().BtnFecharClick();
  EXPECT_TRUE(view_.terminated);
  view_.terminated = false;
  view_.events.close_click();
  EXPECT_TRUE(view_.terminated);
}

// The system's close requests follow the close button: held back while the
// worker keeps it disabled, honoured before the worker starts and after a failure.
TEST_F(FrmSelvaneTest, CloseRequestsFollowTheCloseButton) {
  struct Case {
    const char* situation;
    std::vector<bool> panel_changes;  // SetClosePanelEnabled calls of the worker, in order
    bool honoured;
  };
  const Case cases[] = {
      {"worker running", {false}, false},
      {"worker failed", {false, true}, true},
  };
  EXPECT_TRUE(Window().form.CloseRequest()) << "before any worker";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.situation);
    Window w;
    w.env.files.PutFile("C:\\Kavel\\MEI\\VendraMEI.exe", "");
    w.env.SetExecutablePath("C:\\Kavel\\MEI\\Selvane.exe");
    w.form.FormActivate();
    for (bool enabled : c.panel_changes) w.port.SetClosePanelEnabled(enabled);
    w.view.ProcessMessages();
    for (int storm = 0; storm < 50 && !w.view.terminated; ++storm) EXPECT_EQ(w.form.CloseRequest(), c.honoured);
    EXPECT_EQ(w.view.terminated, c.honoured);
  }
}

TEST_F(FrmSelvaneTest, FormCreateRemovesSelfUpdateLeftoversBesideTheExecutable) {
  for (const char* f : {"C:\\Kavel\\ECF\\AtualizaSistema.bat", "C:\\Kavel\\ECF\\Selvane_old.exe",
                        "C:\\Kavel\\ECF\\Selvane.exe", "C:\\Kavel\\ECF\\Selvane_new.zip",
                        "C:\\Kavel\\ECF\\VendraECF.exe", "C:\\Kavel\\AtualizaSistema.bat"}) {
    env_.files.PutFile(f, "");
  }
  env_.SetExecutablePath("C:\\Kavel\\ECF\\Selvane.exe");
  const auto folders = env_.files.Folders();
  Form().FormCreate();
  EXPECT_FALSE(env_.FileExists("C:\\Kavel\\ECF\\AtualizaSistema.bat"));
  EXPECT_FALSE(env_.FileExists("C:\\Kavel\\ECF\\Selvane_old.exe"));
  for (const char* kept : {"C:\\Kavel\\ECF\\Selvane.exe", "C:\\Kavel\\ECF\\Selvane_new.zip",
                           "C:\\Kavel\\ECF\\VendraECF.exe", "C:\\Kavel\\AtualizaSistema.bat"}) {
    EXPECT_TRUE(env_.FileExists(kept)) << kept;
  }
  // Window creation does nothing else: no folder, no worker.
  EXPECT_TRUE(launches_.empty());
  EXPECT_EQ(env_.files.Folders(), folders);
}

// A real worker thread posting while the window thread waits.
TEST_F(FrmSelvaneTest, WorkerOnItsOwnThread) {
  std::thread thread;
  worker_ = [&thread](WindowPort& p) {
    thread = std::thread([&p] {
      p.SetAnimation(true);
      for (int i = 0; i <= 100; ++i) p.SetStatus("Instalando... " + std::to_string(i) + "% Concluído.");
      p.RequestShortcut();
      p.SetStatus("Concluído!");
      p.SetAnimation(false);
      p.WorkerEnded();
    });
  };
  Start("C:\\Kavel\\NFCE\\Selvane.exe");
  thread.join();
  view_.DispatchPending();
  ASSERT_EQ(view_.statuses.size(), 102u);
  EXPECT_EQ(view_.statuses[57], "Instalando... 57% Concluído.");
  EXPECT_EQ(view_.status, "Concluído!");
  EXPECT_EQ(env_.SavedShellLinks().size(), 1u);
  EXPECT_FALSE(Form().Fields().ThreadRodando);
}

TEST_F(FrmSelvaneTest, PortOutlivingTheWindowDropsLatePosts) {
  env_.files.PutFile("C:\\Kavel\\MEI\\VendraMEI.exe", "");
  worker_ = nullptr;
  Start("C:\\Kavel\\MEI\\Selvane.exe");
  port_->SetStatus("Conectado com Sucesso!");
  EXPECT_EQ(view_.pending(), 1u);
  frm_.reset();
  EXPECT_FALSE(view_.has_handler());
  // The worker's last messages after the window has gone reach nothing.
  port_->SetAnimation(false);
  port_->WorkerEnded();
  EXPECT_EQ(view_.pending(), 1u);
  EXPECT_EQ(port_->PastaRaiz(), "MEI");
}

}  // namespace
}  // namespace selvane
