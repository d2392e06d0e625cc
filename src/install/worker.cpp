#include "install/worker.h"

#include <exception>
#include <memory>
#include <string>

#include "install/folder_sync.h"
#include "install/kill_task.h"
#include "install/progress_text.h"
#include "install/self_update.h"
#include "install/start_system.h"
#include "install/status_texts.h"
#include "server/server_connection.h"
#include "server/servidor_client.h"

namespace selvane {

namespace {

std::string ExecutableFolder(Env& env) {
  std::string path = env.ExecutablePath();
  return path.substr(0, path.find_last_of('\\') + 1);
}

}  // namespace

TInstalacaoAtualizacao::TInstalacaoAtualizacao(Env& env, const EditionInfo& edition, WindowPort& principal,
                                               bool instalacao, TServerConnection& conexao)
    : env_(env), edition_(edition), principal_(&principal), instalacao_(instalacao), conexao_(conexao) {}

void TInstalacaoAtualizacao::Execute() {
  principal_->SetAnimation(true);
  principal_->SetClosePanelEnabled(false);
  bool conectado = false;
  try {
    Conecta();
    conectado = true;
  } catch (...) {
    principal_->SetStatus(std::string(kStatusSemConexao));
    principal_->SetClosePanelEnabled(true);
  }
  if (conectado) {
    try {
      Trabalha();
    } catch (const std::exception& e) {
      principal_->SetStatus(e.what());
      principal_->SetClosePanelEnabled(true);
    } catch (...) {
      principal_->SetStatus("Erro desconhecido");
      principal_->SetClosePanelEnabled(true);
    }
  }
  principal_->SetAnimation(false);
  principal_->WorkerEnded();
}

void TInstalacaoAtualizacao::Conecta() {
  principal_->SetStatus(std::string(kStatusConectando));
  env_.SleepMs(2000);
  const std::string ini = ExecutableFolder(env_) + std::string(kSettingsFile);
  const bool internet = env_.GetProfileString(ini, "redelocal", "local", "nao") == "nao";
  if (!env_.WriteProfileString(ini, "redelocal", "local", internet ? "nao" : "sim")) {
    throw std::runtime_error("Cannot write " + ini);
  }
  conexao_.SetHostName(internet ? SELVANE_INTERNET_HOST : SELVANE_LAN_HOST);
  conexao_.Open();
}

void TInstalacaoAtualizacao::Trabalha() {
  principal_->SetStatus(std::string(kStatusConectado));
  KillTask(env_, edition_.process_name);
  env_.SleepMs(2000);
  GetNumeroAtualizacao();
  principal_->SetStatus(std::string(kStatusProcurando));
  if (!AtualizaAtualizador(env_, conexao_.DBXConnection(), *principal_, edition_, numero_atualizacao_)) return;

  if (!instalacao_) principal_->SetStatus(std::string(kStatusAtualizando));
  for (int step = 1; step <= edition_.sync_count; ++step) {
    Sincroniza(step);
    if (step == 1) principal_->SetStatus(std::string(kStatusAtualizando));
    if (step == edition_.concluindo_after) principal_->SetStatus(std::string(kStatusConcluindo));
  }
  if (instalacao_) principal_->RequestShortcut();
  principal_->SetStatus(std::string(kStatusConcluido));
  env_.SleepMs(500);
  IniciarSistema(env_, edition_, *principal_);
}

void TInstalacaoAtualizacao::GetNumeroAtualizacao() {
  TServidorClient proxy(conexao_.DBXConnection());
  numero_atualizacao_ = proxy.GetNumeroAtualizacao();
}

void TInstalacaoAtualizacao::Sincroniza(int step) {
  const FolderSync& sync = edition_.syncs[static_cast<size_t>(step - 1)];
  FolderSyncStep s{sync.method, std::string(sync.folder), std::nullopt, false};
  if (instalacao_) {
    if (step == edition_.percent_sync_on_install_1 || step == edition_.percent_sync_on_install_2) {
      s.percent_prefix = kInstalandoPrefix;
    }
    s.copy_bpl_to_kvl = step == 1 && edition_.copies_bpl_on_install;
  } else if (step == edition_.percent_sync_on_update) {
    s.percent_prefix = kAtualizandoPrefix;
  }
  SincronizaPasta(env_, conexao_.DBXConnection(), *principal_, numero_atualizacao_, s);
}

void StartWorker(Env& env, const EditionInfo& edition, bool instalacao, WindowPort& principal,
                 TServerConnection& conexao) {
  // The window keeps no reference: the thread owns its worker.
  auto worker = std::make_shared<TInstalacaoAtualizacao>(env, edition, principal, instalacao, conexao);
  env.StartThread([worker] { worker->Execute(); }, ThreadPriority::kAboveNormal);
}

}  // namespace selvane
