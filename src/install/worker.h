#pragma once
// The worker thread of one installation or update of one edition: it opens
// the server connection, ends the running point-of-sale program, lets the
// updater replace itself when the server has a newer one, synchronises the
// edition's folders, asks for the desktop shortcut after an installation and
// hands over to the installed system. Every step is reported on the window's
// status line; failures end the run with their text, never the process.

#include <cstdint>
#include <memory>
#include <optional>

#include "editions/editions.h"
#include "install/window_port.h"
#include "platform/env.h"
#include "platform/signature_check.h"

namespace selvane {

class TServerConnection;

// TInstalacaoAtualizacaoECF / ...NFCE / ...DNF: one procedure over the
// editions table.
class TInstalacaoAtualizacao {
 public:
  // With `trust_key`, the new updater and every program, library or script
  // fetched must come signed with it (file_trust.h); without, nothing is
  // verified and no signature is asked for.
  TInstalacaoAtualizacao(Env& env, const EditionInfo& edition, WindowPort& window, bool installation,
                         TServerConnection& connection, std::optional<TrustKey> trust_key = std::nullopt);

  // The thread body; every outcome ends on the status line.
  void Execute();

 private:
  void Connect();
  void Work();
  void GetNumeroAtualizacao();
  void SyncFolder(int step);

  Env& env_;
  const EditionInfo& edition_;
  TServerConnection& connection_;
  const std::optional<TrustKey> trust_key_;
  // The worker's fields.
  WindowPort* Principal;          // the window it reports to
  const bool Instalacao;          // true for a first installation, false for an update
  int32_t NumeroAtualizacao = 0;  // the server's update number, fetched once per run
};

// Starts the worker on a thread of above-normal priority and returns at once.
// The worker holds its share of the connection until its thread ends, so the
// connection is closed and freed by whichever lets go of it last: never while
// a call of the worker is in flight, and never twice (the program's end, on
// the window thread, and the worker's last steps after it asked the
// application to end cannot meet on the connection).
void StartWorker(Env& env, const EditionInfo& edition, bool Instalacao, WindowPort& window,
                 std::shared_ptr<TServerConnection> connection, std::optional<TrustKey> trust_key);

// The settings file next to the running executable.
inline constexpr std::string_view kSettingsFile = "selvane.ini";

}  // namespace selvane
