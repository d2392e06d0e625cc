#pragma once
// One folder synchronisation: the folder's listing goes to the server, which
// answers with the files to fetch; each is fetched, unpacked under its listed
// name and stamped with its listed time. The ten folder methods all run this.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "install/window_port.h"
#include "platform/env.h"

namespace selvane {

class TRpcConnection;

struct FolderSyncStep {
  std::string_view method;  // remote folder method, e.g. "RecompoePastaECF"
  std::string folder;       // local folder with trailing backslash
  // "Instalando... " or "Atualizando... " when the step shows a per-file percentage.
  std::optional<std::string_view> percent_prefix;
  // Fetched files whose name contains ".bpl" are copied into C:\Windows\kvl\ too.
  bool copy_bpl_to_kvl = false;
};

// Runs one synchronisation on its own proxy. Names the server sends are taken
// as plain file names inside the folder; anything else fails the step before a
// byte is written. Any failure is thrown to the caller.
void SincronizaPasta(Env& env, TRpcConnection* connection, WindowPort& window, int32_t NumeroAtualizacao,
                     const FolderSyncStep& step);

}  // namespace selvane
