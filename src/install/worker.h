#pragma once
// The worker thread of one installation or update of one edition: it opens
// the server connection, ends the running point-of-sale program, lets the
// updater replace itself when the server has a newer one, synchronises the
// edition's folders, asks for the desktop shortcut after an installation and
// hands over to the installed system. Every step is reported on the window's
// status line; failures end the run with their text, never the process.

#include <cstdint>

#include "editions/editions.h"
#include "install/window_port.h"
#include "platform/env.h"

namespace selvane {

class TServerConnection;

// TInstalacaoAtualizacaoECF / ...NFCE / ...DNF: one procedure over the
// editions table.
class TInstalacaoAtualizacao {
 public:
  TInstalacaoAtualizacao(Env& env, const EditionInfo& edition, WindowPort& principal, bool instalacao,
                         TServerConnection& conexao);

  // The thread body; every outcome ends on the status line.
  void Execute();

  bool Instalacao() const { return instalacao_; }
  int32_t NumeroAtualizacao() const { return numero_atualizacao_; }

 private:
  void Conecta();
  void Trabalha();
  void GetNumeroAtualizacao();
  void Sincroniza(int step);

  Env& env_;
  const EditionInfo& edition_;
  WindowPort* principal_;
  const bool instalacao_;
  TServerConnection& conexao_;
  int32_t numero_atualizacao_ = 0;
};

// Starts the worker on a thread of above-normal priority and returns at once.
void StartWorker(Env& env, const EditionInfo& edition, bool instalacao, WindowPort& principal,
                 TServerConnection& conexao);

// The settings file next to the running executable.
inline constexpr std::string_view kSettingsFile = "selvane.ini";

}  // namespace selvane
