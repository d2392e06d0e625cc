#pragma once
// TFrmSelvane: the behaviour of the main window. It picks the edition from the
// folder the program runs in (or lets the user pick it), starts that edition's
// worker, serves the worker's requests on the window thread and, after a first
// installation, creates the desktop shortcut. Everything runs on the window
// thread; the worker reaches it only through posted UiMessages.

#include <string>
#include <string_view>

#include "editions/editions.h"
#include "ui/main_view.h"
#include "app/posting_window_port.h"
#include "install/worker_launcher.h"
#include "platform/env.h"

namespace selvane {

// Leftovers of a self-update, removed at window creation from the folder of
// the running executable.
inline constexpr std::string_view kSelfUpdateLeftovers[] = {"AtualizaSistema.bat", "Selvane_old.exe"};

class TFrmSelvane {
 public:
  // The window's own fields, besides its controls.
  struct WindowFields {
    std::string PastaRaiz;               // the chosen edition; empty until a launcher runs
    bool CriarAtalhoAguardando = false;  // the worker asks for the desktop shortcut
    bool ThreadRodando = false;          // an installation's worker has not ended yet
  };

  // Binds itself to the view's events and messages and attaches the port that
  // the worker will get to the view. view and env must outlive the window; the
  // port must outlive the worker.
  TFrmSelvane(MainView& view, Env& env, PostingWindowPort& port, WorkerLauncher launcher);
  ~TFrmSelvane();
  TFrmSelvane(const TFrmSelvane&) = delete;
  TFrmSelvane& operator=(const TFrmSelvane&) = delete;

  void FormCreate();
  void FormActivate();
  void Panel2Click();
  void Panel3Click();
  void Panel4Click();
  void IniciarAtualizacaoPAFECF();
  void IniciarAtualizacaoNFCE();
  void IniciarAtualizacaoDNF();
  void CriarAtalhosECF();
  void CriarAtalhosNFCE();
  void CriarAtalhosDNF();
  void ImageButton3Click();
  void BtnFecharClick();
  // A close request of the system (WM_CLOSE, Alt+F4, the taskbar): ends the
  // application as the close button does, and is ignored, as a click on the
  // disabled close button is, while the worker keeps KavelPanel2 disabled.
  // True when it was honoured.
  bool CloseRequest();

  const WindowFields& Fields() const { return fields_; }

 private:
  void Apply(const UiMessage& msg);
  void ChoiceClick(Edition edition);
  void IniciarAtualizacao(const EditionInfo& edition);
  void WaitForInstallation(const EditionInfo& edition);
  void CriarAtalhos(const EditionInfo& edition);
  void CreateFolderIfMissing(std::string_view folder);
  void CreateHiddenFolderIfMissing(std::string_view folder);
  // Runs a window event; an error escaping it goes to the application's
  // default error handling, a message box.
  template <typename Fn>
  void Event(Fn&& fn);

  MainView& view_;
  Env& env_;
  PostingWindowPort& port_;
  WorkerLauncher launcher_;
  WindowFields fields_;
  bool created_ = false;
  bool activated_ = false;
  bool launched_ = false;
  bool close_panel_enabled_ = true;  // KavelPanel2 as the worker last set it
};

}  // namespace selvane
