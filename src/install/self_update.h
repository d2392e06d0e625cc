#pragma once
// The updater keeps itself current: the edition folder must hold the server's
// updater before any point-of-sale file is touched. A new updater is unpacked
// beside the old one as Selvane_new.exe; AtualizaSistema.bat then ends every
// running updater, swaps the executables and starts the new one.

#include <cstdint>

#include "editions/editions.h"
#include "install/window_port.h"
#include "platform/env.h"
#include "platform/signature_check.h"

namespace selvane {

class TRpcConnection;

// True when no self-update is due. False when the new updater has been put
// beside the old one, the batch has been started and the application has been
// told to end. Failures are thrown; no batch is started then. A new updater
// that is not exactly one Windows program for this machine of a plausible
// size (updater_check.h) is such a failure: it is deleted again, the running
// updater stays and nothing restarts. With a trust key the new updater must
// also come with a valid signature, fetched as one more file (the server's
// updater path plus ".sig") after the checks above; without one it is
// refused the same way.
bool AtualizaAtualizador(Env& env, TRpcConnection* connection, WindowPort& window, const EditionInfo& edition,
                         int32_t NumeroAtualizacao, const TrustKey* trust_key = nullptr);

}  // namespace selvane
