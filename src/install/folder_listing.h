#pragma once
// The folder listing sent to the server: one record per ordinary file of a
// folder, with its name and its last-write time at two-second resolution.

#include <string>

#include "platform/env.h"
#include "base/ole_variant.h"
#include "protocol/packet_layouts.h"

namespace selvane {

// The listing of `folder` (ending with a backslash) as a data packet. Hidden,
// system and directory entries are left out; a missing folder gives a packet
// without records.
OleVariant RetornaListaArquivosPasta(Env& env, const std::string& folder);

}  // namespace selvane
