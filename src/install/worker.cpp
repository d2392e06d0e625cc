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

TInstalacaoAtualizacao::TInstalacaoAtualizacao(Env& env, const EditionInfo& edition, WindowPort& window,
                                               bool installation, TServerConnection& connection,
                                               std::optional<TrustKey> trust_key)
    : env_(env),
      edition_(edition),
      connection_(connection),
      trust_key_(trust_key),
      Principal(&window),
      Instalacao(installation) {}

void TInstalacaoAtualizacao::Execute() {
  Principal->SetAnimation(true);
  Principal->SetClosePanelEnabled(false);
  bool connected = false;
  try {
    Connect();
    connected = true;
  } catch (...) {
    Principal->SetStatus(std::string(kStatusNoConnection));
    Principal->SetClosePanelEnabled(true);
  }
  if (connected) {
    try {
      Work();
    } catch (const std::exception& e) {
      Principal->SetStatus(e.what());
      Principal->SetClosePanelEnabled(true);
    } catch (...) {
      Principal->SetStatus("Erro desconhecido");
      Principal->SetClosePanelEnabled(true);
    }
  }
  Principal->SetAnimation(false);
  Principal->WorkerEnded();
}

void TInstalacaoAtualizacao::Connect() {
  Principal->SetStatus(std::string(kStatusConnecting));
  env_.SleepMs(2000);
  const std::string ini = ExecutableFolder(env_) + std::string(kSettingsFile);
  const bool internet = env_.GetProfileString(ini, "redelocal", "local", "nao") == "nao";
  if (!env_.WriteProfileString(ini, "redelocal", "local", internet ? "nao" : "sim")) {
    throw std::runtime_error("Cannot write " + ini);
  }
  connection_.SetHostName(internet ? SELVANE_INTERNET_HOST : SELVANE_LAN_HOST);
  connection_.Open();
}

void TInstalacaoAtualizacao::Work() {
  Principal->SetStatus(std::string(kStatusConnected));
  KillTask(env_, edition_.process_name);
  env_.SleepMs(2000);
  GetNumeroAtualizacao();
  Principal->SetStatus(std::string(kStatusSearching));
  if (!AtualizaAtualizador(env_, connection_.DBXConnection(), *Principal, edition_, NumeroAtualizacao,
                           trust_key_ ? &*trust_key_ : nullptr)) return;

  if (!Instalacao) Principal->SetStatus(std::string(kStatusUpdating));
  for (int step = 1; step <= edition_.sync_count; ++step) {
    SyncFolder(step);
    if (step == 1) Principal->SetStatus(std::string(kStatusUpdating));
    if (step == edition_.concluding_after) Principal->SetStatus(std::string(kStatusConcluding));
  }
  if (Instalacao) Principal->RequestShortcut();
  Principal->SetStatus(std::string(kStatusDone));
  env_.SleepMs(500);
  IniciarSistema(env_, edition_, *Principal, Instalacao);
}

void TInstalacaoAtualizacao::GetNumeroAtualizacao() {
  TServidorClient proxy(connection_.DBXConnection());
  NumeroAtualizacao = proxy.GetNumeroAtualizacao();
}

void TInstalacaoAtualizacao::SyncFolder(int step) {
  const FolderSync& sync = edition_.syncs[static_cast<size_t>(step - 1)];
  FolderSyncStep s{sync.method, std::string(sync.folder), std::nullopt, false, trust_key_ ? &*trust_key_ : nullptr};
  if (Instalacao) {
    if (step == edition_.percent_sync_on_install_1 || step == edition_.percent_sync_on_install_2) {
      s.percent_prefix = kInstallingPrefix;
    }
    s.copy_bpl_to_kvl = step == 1 && edition_.copies_bpl_on_install;
  } else if (step == edition_.percent_sync_on_update) {
    s.percent_prefix = kUpdatingPrefix;
  }
  SincronizaPasta(env_, connection_.DBXConnection(), *Principal, NumeroAtualizacao, s);
}

void StartWorker(Env& env, const EditionInfo& edition, bool Instalacao, WindowPort& window,
                 std::shared_ptr<TServerConnection> connection, std::optional<TrustKey> trust_key) {
  // The window keeps no reference: the thread owns its worker and its share
  // of the connection, and drops the worker (and its proxies) first.
  auto worker = std::make_shared<TInstalacaoAtualizacao>(env, edition, window, Instalacao, *connection, trust_key);
  env.StartThread(
      [worker, connection]() mutable {
        worker->Execute();
        worker.reset();
        connection.reset();
      },
      ThreadPriority::kAboveNormal);
}

}  // namespace selvane
