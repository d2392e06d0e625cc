#include "app/frm_selvane.h"

#include <cstdint>
#include <exception>
#include <utility>
#include <variant>

#include "install/desktop_shortcut.h"

namespace selvane {
namespace {

template <class... Ts>
struct Overloaded : Ts... {
  using Ts::operator()...;
};
template <class... Ts>
Overloaded(Ts...) -> Overloaded<Ts...>;

// Folder part of a full path, trailing backslash included; empty without one.
std::string FolderOf(const std::string& path) {
  const auto slash = path.rfind('\\');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// One pass of the installation wait gives the window its pending messages and
// then yields briefly, so waiting does not spin a whole core.
constexpr uint32_t kWaitPassMs = 1;

}  // namespace

TFrmSelvane::TFrmSelvane(MainView& view, Env& env, PostingWindowPort& port, WorkerLauncher launcher)
    : view_(view), env_(env), port_(port), launcher_(std::move(launcher)) {
  port_.Attach(view_);
  view_.SetMessageHandler([this](const UiMessage& msg) { Apply(msg); });
  MainViewEvents events;
  events.form_create = [this] { Event([this] { FormCreate(); }); };
  events.form_activate = [this] { Event([this] { FormActivate(); }); };
  events.choice_click = [this](Edition e) { Event([this, e] { ChoiceClick(e); }); };
  events.close_click = [this] { Event([this] { ImageButton3Click(); }); };
  view_.SetEvents(std::move(events));
}

TFrmSelvane::~TFrmSelvane() {
  port_.Detach();
  view_.SetEvents({});
  view_.SetMessageHandler(nullptr);
}

template <typename Fn>
void TFrmSelvane::Event(Fn&& fn) {
  try {
    std::forward<Fn>(fn)();
  } catch (const std::exception& e) {
    view_.ShowErrorMessage(e.what());
  }
}

// The worker's requests, applied on the window thread in the order posted.
// This is the only place where the worker's changes touch the window or the
// two shared flags.
void TFrmSelvane::Apply(const UiMessage& msg) {
  std::visit(Overloaded{
                 [this](const SetStatusMsg& m) { view_.SetStatusText(m.text); },
                 [this](const SetAnimationMsg& m) { view_.SetAnimation(m.running); },
                 [this](const SetClosePanelEnabledMsg& m) {
                   close_panel_enabled_ = m.enabled;
                   view_.SetClosePanelEnabled(m.enabled);
                 },
                 [this](const RequestShortcutMsg&) { fields_.CriarAtalhoAguardando = true; },
                 [this](const WorkerEndedMsg&) { fields_.ThreadRodando = false; },
                 [this](const TerminateMsg&) { view_.Terminate(); },
             },
             msg);
}

void TFrmSelvane::FormCreate() {
  if (std::exchange(created_, true)) return;
  // After a self-update the batch starts the new updater from the edition
  // folder, which is where the batch and the old updater were left.
  const std::string folder = FolderOf(env_.ExecutablePath());
  if (folder.empty()) return;
  for (std::string_view name : kSelfUpdateLeftovers) {
    const std::string path = folder + std::string(name);
    if (env_.FileExists(path)) env_.DeleteFile(path);
  }
}

void TFrmSelvane::FormActivate() {
  if (std::exchange(activated_, true)) return;
  CreateFolderIfMissing(kKavelRootNoSlash);
  const EditionInfo* edition = EditionForExeFolder(FolderOf(env_.ExecutablePath()));
  if (edition == nullptr) {
    view_.SetChoicePanelVisible(true);
    return;
  }
  IniciarAtualizacao(*edition);
}

void TFrmSelvane::Panel2Click() { ChoiceClick(Edition::kECF); }
void TFrmSelvane::Panel3Click() { ChoiceClick(Edition::kNFCE); }
void TFrmSelvane::Panel4Click() { ChoiceClick(Edition::kMEI); }

void TFrmSelvane::ChoiceClick(Edition edition) {
  // A second click already queued behind the first must not start a second worker.
  if (launched_) return;
  view_.SetChoicePanelVisible(false);
  IniciarAtualizacao(GetEdition(edition));
}

void TFrmSelvane::IniciarAtualizacaoPAFECF() { IniciarAtualizacao(GetEdition(Edition::kECF)); }
void TFrmSelvane::IniciarAtualizacaoNFCE() { IniciarAtualizacao(GetEdition(Edition::kNFCE)); }
void TFrmSelvane::IniciarAtualizacaoDNF() { IniciarAtualizacao(GetEdition(Edition::kMEI)); }

void TFrmSelvane::IniciarAtualizacao(const EditionInfo& edition) {
  launched_ = true;
  const bool Instalacao = !env_.FileExists(edition.pos_executable);
  if (Instalacao) CreateFolderIfMissing(edition.edition_folder);
  CreateHiddenFolderIfMissing(edition.hidden_extra_folder);
  if (Instalacao) CreateFolderIfMissing(edition.install_extra_folder);

  const std::string title(Instalacao ? edition.install_title : edition.update_title);
  view_.SetTitleText(title);
  fields_.PastaRaiz = edition.PastaRaiz;
  port_.Fix(fields_.PastaRaiz);
  if (!Instalacao) {
    launcher_(edition, false, port_);
    return;
  }
  fields_.CriarAtalhoAguardando = false;
  fields_.ThreadRodando = true;
  launcher_(edition, true, port_);
  WaitForInstallation(edition);
}

// Keeps the window responsive until the worker asks for the shortcut, ends, or
// the application is told to end. The shortcut request is looked at first on
// every pass, so one that arrived together with the worker's end is served.
void TFrmSelvane::WaitForInstallation(const EditionInfo& edition) {
  while (true) {
    if (fields_.CriarAtalhoAguardando) {
      CriarAtalhos(edition);
      fields_.CriarAtalhoAguardando = false;
      return;
    }
    if (!fields_.ThreadRodando) return;
    if (!view_.ProcessMessages()) return;
    env_.SleepMs(kWaitPassMs);
  }
}

void TFrmSelvane::CriarAtalhosECF() { CriarAtalhos(GetEdition(Edition::kECF)); }
void TFrmSelvane::CriarAtalhosNFCE() { CriarAtalhos(GetEdition(Edition::kNFCE)); }
void TFrmSelvane::CriarAtalhosDNF() { CriarAtalhos(GetEdition(Edition::kMEI)); }

void TFrmSelvane::CriarAtalhos(const EditionInfo& edition) {
  CreateShortcut(env_, edition.shortcut_target, "", edition.shortcut_workdir,
                 std::string(edition.shortcut_title));
}

void TFrmSelvane::ImageButton3Click() { view_.Terminate(); }
void TFrmSelvane::BtnFecharClick() { view_.Terminate(); }

bool TFrmSelvane::CloseRequest() {
  if (!close_panel_enabled_) return false;
  ImageButton3Click();
  return true;
}

// Results are ignored: a folder still missing makes the worker's file steps fail,
// and the worker reports that.
void TFrmSelvane::CreateFolderIfMissing(std::string_view folder) {
  if (folder.empty()) return;
  const std::string path(folder);
  if (!env_.DirectoryExists(path)) env_.CreateDirectory(path);
}

void TFrmSelvane::CreateHiddenFolderIfMissing(std::string_view folder) {
  if (folder.empty()) return;
  const std::string path(folder);
  if (env_.DirectoryExists(path)) return;
  env_.CreateDirectory(path);
  env_.SetAttributes(path, kKvlAttributes);
}

}  // namespace selvane
