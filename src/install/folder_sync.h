#pragma once
// One folder synchronisation: the folder's listing goes to the server, which
// answers with the files to fetch; each is fetched and unpacked into a
// temporary stamped with its listed time, and when the last has arrived all
// are put in place under their listed names together. The ten folder methods
// all run this.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "install/window_port.h"
#include "platform/env.h"
#include "platform/signature_check.h"

namespace selvane {

class TRpcConnection;

struct FolderSyncStep {
  std::string_view method;  // remote folder method, e.g. "RecompoePastaECF"
  std::string folder;       // local folder with trailing backslash
  // "Instalando... " or "Atualizando... " when the step shows a per-file percentage.
  std::optional<std::string_view> percent_prefix;
  // Fetched files whose name contains ".bpl" are copied into C:\Windows\kvl\ too.
  bool copy_bpl_to_kvl = false;
  // With a key, every fetched file that must come signed is checked against
  // its signature before the step's files are put in place (file_trust.h).
  const TrustKey* trust_key = nullptr;
};

// Runs one synchronisation on its own proxy. Every value of the fetch list and
// of each file record is checked first: names are taken as plain file names
// inside the folder (as Windows normalises them), dates must be dates; anything
// else fails the step before a byte is written. All or nothing: any failure
// leaves every target of the step as it was, leaves no temporary behind, and
// is thrown to the caller; so is a file without a valid signature when the
// step has a trust key. What an interrupted earlier run left is cleared
// before the folder is listed.
void SincronizaPasta(Env& env, TRpcConnection* connection, WindowPort& window, int32_t NumeroAtualizacao,
                     const FolderSyncStep& step);

}  // namespace selvane
