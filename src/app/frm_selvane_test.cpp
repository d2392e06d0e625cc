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
  bool instalacao;
};

// A window of its own, for tables of cases: its worker records how it was
// started and ends at once.
struct Window {
  Window() { env.files.MakeDirs("C:\\Windows"); }
  RecordingView view;
  WindowEnv env;
  PostingWindowPort port;
  std::vector<Launch> launches;
  TFrmSelvane form{view, env, port, [this](const EditionInfo& e, bool instalacao, WindowPort& p) {
                     launches.push_back({e.edition, instalacao});
                     p.WorkerEnded();
                   }};
};

class FrmSelvaneTest : public ::testing::Test {
 protected:
  FrmSelvaneTest() {
    env.SetCurrentUserString(std::string(kShellFoldersKey), "Desktop", kDesktop);
    env.files.MakeDirs("C:\\Windows");
  }

  // What the worker does as soon as it is started; by default it just ends.
  std::function<void(WindowPort&)> worker = [](WindowPort& p) { p.WorkerEnded(); };

  TFrmSelvane& Form() {
    if (!frm) {
      frm = std::make_unique<TFrmSelvane>(view, env, posting, [this](const EditionInfo& e, bool instalacao, WindowPort& p) {
        launches.push_back({e.edition, instalacao});
        port = &p;
        if (worker) worker(p);
      });
    }
    return *frm;
  }

  void Start(const std::string& exe_path) {
    env.SetExecutablePath(exe_path);
    Form().FormCreate();
    Form().FormActivate();
  }

  RecordingView view;
  WindowEnv env;
  std::vector<Launch> launches;
  WindowPort* port = nullptr;
  PostingWindowPort posting;         // outlives the window, as in the program
  std::unique_ptr<TFrmSelvane> frm;  // last: goes before the view and the env
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
      EXPECT_EQ(w.form.fields().PastaRaiz, GetEdition(*c.edition).pasta_raiz);
    } else {
      EXPECT_TRUE(w.launches.empty());
      EXPECT_TRUE(w.view.choice_visible);
      EXPECT_EQ(w.view.title, "");
      EXPECT_EQ(w.view.status, "Aguardando...");
      EXPECT_EQ(w.form.fields().PastaRaiz, "");
    }
  }
}

TEST_F(FrmSelvaneTest, DispatchRunsOnlyOnFirstActivation) {
  env.files.PutFile("C:\\Kavel\\MEI\\VendraMEI.exe", "");
  Start("C:\\Kavel\\MEI\\Selvane.exe");
  Form().FormActivate();
  view.events.form_activate();
  EXPECT_EQ(launches.size(), 1u);
}

TEST_F(FrmSelvaneTest, ChoiceWaitsForAClickThenRunsThatEditionOnce) {
  Start("C:\\Users\\ana\\Downloads\\Selvane.exe");
  EXPECT_TRUE(launches.empty());
  ASSERT_TRUE(view.events.choice_click);
  view.events.choice_click(Edition::kNFCE);
  EXPECT_FALSE(view.choice_visible);
  ASSERT_EQ(launches.size(), 1u);
  EXPECT_EQ(launches[0].edition, Edition::kNFCE);
  EXPECT_EQ(view.title, "Instalação Kavel Vendra-NFCe");
  // A second click queued behind the first starts nothing.
  Form().Panel2Click();
  Form().Panel4Click();
  EXPECT_EQ(launches.size(), 1u);
  EXPECT_EQ(Form().fields().PastaRaiz, "NFCE");
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
      e.files.MakeDirs(std::string(ed.edition_folder));
      e.files.PutFile(std::string(ed.pos_executable), "");
    }
    std::vector<Launch> started;
    WindowPort* p = nullptr;
    PostingWindowPort pw;
    TFrmSelvane form(v, e, pw, [&](const EditionInfo& ei, bool instalacao, WindowPort& wp) {
      // The worker may read these as soon as it runs.
      EXPECT_EQ(wp.Title(), c.title);
      EXPECT_EQ(wp.PastaRaiz(), ed.pasta_raiz);
      EXPECT_EQ(v.title, c.title);
      started.push_back({ei.edition, instalacao});
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
    EXPECT_EQ(started[0].instalacao, !c.installed);
    EXPECT_EQ(v.title, c.title);
    EXPECT_EQ(form.fields().PastaRaiz, ed.pasta_raiz);
    for (const auto& f : c.created) EXPECT_TRUE(e.DirectoryExists(f)) << f;
    for (const auto& f : c.absent) EXPECT_FALSE(e.DirectoryExists(f)) << f;
    if (e.DirectoryExists("C:\\Windows\\kvl")) {
      EXPECT_EQ(*e.GetAttributes("C:\\Windows\\kvl"), 18u);
    }
    // An update returns at once: no wait, no flag touched.
    if (c.installed) {
      EXPECT_EQ(v.process_passes, 0);
      EXPECT_FALSE(form.fields().ThreadRodando);
      EXPECT_FALSE(form.fields().CriarAtalhoAguardando);
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
  env.files.MakeDirs("C:\\Kavel\\NFCE");
  env.files.PutFile("C:\\Kavel\\NFCE\\VendraNFCE.exe", "");
  Start("C:\\Kavel\\NFCE\\Selvane.exe");
  ASSERT_EQ(launches.size(), 1u);
  EXPECT_FALSE(launches[0].instalacao);
  EXPECT_FALSE(env.DirectoryExists("C:\\Kavel\\NFCE\\Schemas"));
}

TEST_F(FrmSelvaneTest, InstallationSetsTheFlagsBeforeStartingTheWorker) {
  worker = [this](WindowPort& p) {
    EXPECT_TRUE(frm->fields().ThreadRodando);
    EXPECT_FALSE(frm->fields().CriarAtalhoAguardando);
    p.WorkerEnded();
  };
  Start("C:\\Kavel\\MEI\\Selvane.exe");
  ASSERT_EQ(launches.size(), 1u);
  EXPECT_TRUE(launches[0].instalacao);
}

// The installation wait keeps handling the window's messages until the worker
// asks for the shortcut, ends, or the application is told to end.
TEST_F(FrmSelvaneTest, InstallationWaitEndsOnShortcutRequest) {
  worker = nullptr;
  view.on_pass = [this](int pass) {
    if (pass == 3) port->SetStatus("Concluíndo...");
    if (pass == 5) port->RequestShortcut();
  };
  Start("C:\\Users\\ana\\Downloads\\Selvane.exe");
  Form().Panel3Click();
  EXPECT_EQ(view.process_passes, 5);
  EXPECT_EQ(view.status, "Concluíndo...");
  ASSERT_EQ(env.SavedShellLinks().size(), 1u);
  EXPECT_EQ(env.SavedShellLinks()[0].path, std::string(kDesktop) + "\\Kavel Vendra-NFCe.lnk");
  EXPECT_FALSE(Form().fields().CriarAtalhoAguardando);
  // The worker goes on: its later messages still reach the window.
  EXPECT_TRUE(Form().fields().ThreadRodando);
  port->SetStatus("Concluído!");
  port->WorkerEnded();
  view.ProcessMessages();
  EXPECT_EQ(view.status, "Concluído!");
  EXPECT_FALSE(Form().fields().ThreadRodando);
  EXPECT_EQ(env.SavedShellLinks().size(), 1u);
}

TEST_F(FrmSelvaneTest, InstallationWaitEndsOnWorkerEndWithoutShortcut) {
  worker = nullptr;
  view.on_pass = [this](int pass) {
    if (pass == 1) {
      port->SetAnimation(true);
      port->SetClosePanelEnabled(false);
      port->SetStatus("Conectando com os Nossos Servidores...");
    }
    if (pass == 4) {
      port->SetStatus("Não Foi Possível Conectar...");
      port->SetClosePanelEnabled(true);
      port->SetAnimation(false);
      port->WorkerEnded();
    }
  };
  Start("C:\\Kavel\\ECF\\Selvane.exe");
  EXPECT_EQ(view.process_passes, 4);
  EXPECT_EQ(view.status, "Não Foi Possível Conectar...");
  EXPECT_FALSE(view.animation);
  EXPECT_TRUE(view.close_enabled);
  EXPECT_FALSE(Form().fields().ThreadRodando);
  EXPECT_TRUE(env.SavedShellLinks().empty());
  EXPECT_FALSE(view.terminated);
}

TEST_F(FrmSelvaneTest, InstallationWaitEndsWhenTheApplicationIsToldToEnd) {
  worker = nullptr;
  view.on_pass = [this](int pass) {
    if (pass == 2) port->TerminateApplication();
  };
  Start("C:\\Kavel\\MEI\\Selvane.exe");
  EXPECT_TRUE(view.terminated);
  EXPECT_EQ(view.process_passes, 2);
  EXPECT_TRUE(Form().fields().ThreadRodando);
  EXPECT_TRUE(env.SavedShellLinks().empty());
}

TEST_F(FrmSelvaneTest, ShortcutRequestIsServedEvenIfTheWorkerHasAlreadyEnded) {
  worker = [](WindowPort& p) {
    p.RequestShortcut();
    p.SetStatus("Concluído!");
    p.WorkerEnded();
  };
  Start("C:\\Kavel\\ECF\\Selvane.exe");
  ASSERT_EQ(env.SavedShellLinks().size(), 1u);
  EXPECT_EQ(env.SavedShellLinks()[0].path, std::string(kDesktop) + "\\Kavel Vendra-ECF.lnk");
}

TEST_F(FrmSelvaneTest, WaitYieldsBetweenPasses) {
  worker = nullptr;
  view.on_pass = [this](int pass) {
    if (pass == 10) port->WorkerEnded();
  };
  Start("C:\\Kavel\\MEI\\Selvane.exe");
  EXPECT_EQ(env.files.Sleeps(), view.process_passes);
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
    const size_t before = env.SavedShellLinks().size();
    (Form().*c.op)();
    (Form().*c.op)();  // a second one replaces the first
    const auto links = env.SavedShellLinks();
    ASSERT_EQ(links.size(), before + 1);
    EXPECT_EQ(links.back().path, c.link.path);
    EXPECT_EQ(links.back().fields, c.link.fields);
  }
}

TEST_F(FrmSelvaneTest, ShortcutWithoutKnownDesktopIsNotMade) {
  env.ClearCurrentUserStrings();
  worker = [](WindowPort& p) { p.RequestShortcut(); };
  Start("C:\\Kavel\\MEI\\Selvane.exe");
  EXPECT_TRUE(env.SavedShellLinks().empty());
  EXPECT_FALSE(Form().fields().CriarAtalhoAguardando);
  EXPECT_TRUE(view.errors.empty());
}

// A shell link object that cannot be created raises on the window thread: the
// wait is left and the error reaches the message box; the worker carries on.
TEST_F(FrmSelvaneTest, FailedShortcutCreationShowsTheErrorAndLeavesTheWait) {
  env.SetShellLinkFailure("Classe não registrada");
  worker = [](WindowPort& p) { p.RequestShortcut(); };
  env.SetExecutablePath("C:\\Kavel\\NFCE\\Selvane.exe");
  Form();
  view.events.form_create();
  view.events.form_activate();
  ASSERT_EQ(view.errors.size(), 1u);
  EXPECT_EQ(view.errors[0], "Classe não registrada");
  EXPECT_TRUE(env.SavedShellLinks().empty());
  EXPECT_FALSE(view.terminated);
  port->SetStatus("Concluído!");
  view.ProcessMessages();
  EXPECT_EQ(view.status, "Concluído!");
}

TEST_F(FrmSelvaneTest, WorkerMessagesTakeEffectOnlyWhenTheWindowThreadProcessesThem) {
  env.files.PutFile("C:\\Kavel\\MEI\\VendraMEI.exe", "");
  worker = nullptr;
  Start("C:\\Kavel\\MEI\\Selvane.exe");
  port->SetAnimation(true);
  port->SetClosePanelEnabled(false);
  port->SetStatus("Conectado com Sucesso!");
  EXPECT_EQ(view.status, "Aguardando...");
  EXPECT_FALSE(view.animation);
  EXPECT_TRUE(view.close_enabled);
  view.ProcessMessages();
  EXPECT_EQ(view.status, "Conectado com Sucesso!");
  EXPECT_TRUE(view.animation);
  EXPECT_FALSE(view.close_enabled);
  port->TerminateApplication();
  EXPECT_FALSE(view.terminated);
  EXPECT_FALSE(view.ProcessMessages());
  EXPECT_TRUE(view.terminated);
}

TEST_F(FrmSelvaneTest, CloseButtonsEndTheApplication) {
  Form().ImageButton3Click();
  EXPECT_TRUE(view.terminated);
  view.terminated = false;
  Form().BtnFecharClick();
  EXPECT_TRUE(view.terminated);
  view.terminated = false;
  view.events.close_click();
  EXPECT_TRUE(view.terminated);
}

TEST_F(FrmSelvaneTest, FormCreateRemovesSelfUpdateLeftoversBesideTheExecutable) {
  for (const char* f : {"C:\\Kavel\\ECF\\AtualizaSistema.bat", "C:\\Kavel\\ECF\\Selvane_old.exe",
                        "C:\\Kavel\\ECF\\Selvane.exe", "C:\\Kavel\\ECF\\Selvane_new.zip",
                        "C:\\Kavel\\ECF\\VendraECF.exe", "C:\\Kavel\\AtualizaSistema.bat"}) {
    env.files.PutFile(f, "");
  }
  env.SetExecutablePath("C:\\Kavel\\ECF\\Selvane.exe");
  const auto folders = env.files.Folders();
  Form().FormCreate();
  EXPECT_FALSE(env.FileExists("C:\\Kavel\\ECF\\AtualizaSistema.bat"));
  EXPECT_FALSE(env.FileExists("C:\\Kavel\\ECF\\Selvane_old.exe"));
  for (const char* kept : {"C:\\Kavel\\ECF\\Selvane.exe", "C:\\Kavel\\ECF\\Selvane_new.zip",
                           "C:\\Kavel\\ECF\\VendraECF.exe", "C:\\Kavel\\AtualizaSistema.bat"}) {
    EXPECT_TRUE(env.FileExists(kept)) << kept;
  }
  // Window creation does nothing else: no folder, no worker.
  EXPECT_TRUE(launches.empty());
  EXPECT_EQ(env.files.Folders(), folders);
}

// A real worker thread posting while the window thread waits.
TEST_F(FrmSelvaneTest, WorkerOnItsOwnThread) {
  std::thread thread;
  worker = [&thread](WindowPort& p) {
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
  view.DispatchPending();
  ASSERT_EQ(view.statuses.size(), 102u);
  EXPECT_EQ(view.statuses[57], "Instalando... 57% Concluído.");
  EXPECT_EQ(view.status, "Concluído!");
  EXPECT_EQ(env.SavedShellLinks().size(), 1u);
  EXPECT_FALSE(Form().fields().ThreadRodando);
}

TEST_F(FrmSelvaneTest, PortOutlivingTheWindowDropsLatePosts) {
  env.files.PutFile("C:\\Kavel\\MEI\\VendraMEI.exe", "");
  worker = nullptr;
  Start("C:\\Kavel\\MEI\\Selvane.exe");
  port->SetStatus("Conectado com Sucesso!");
  EXPECT_EQ(view.pending(), 1u);
  frm.reset();
  EXPECT_FALSE(view.has_handler());
  // The worker's last messages after the window has gone reach nothing.
  port->SetAnimation(false);
  port->WorkerEnded();
  EXPECT_EQ(view.pending(), 1u);
  EXPECT_EQ(port->PastaRaiz(), "MEI");
  EXPECT_EQ(port->Title(), "Atualização Kavel Vendra-MEI");
}

}  // namespace
}  // namespace selvane
