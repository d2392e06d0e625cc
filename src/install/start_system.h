#pragma once
// The hand-over at the end of a successful run: runtime packages (ECF), the
// font, and the start batch that ends the updater, installs the service on an
// ECF installation and starts the point-of-sale program.

#include "editions/editions.h"
#include "install/window_port.h"
#include "platform/env.h"

namespace selvane {

inline constexpr std::string_view kSailecFontFile = "C:\\Windows\\Fonts\\SailecRegular.ttf";
// How long the second start batch waits for the first to end, and how often it looks.
inline constexpr uint32_t kBatchEndLimitMs = 30000;
inline constexpr uint32_t kBatchPollMs = 100;

// IniciarSistemaECF / IniciarSistemaNFCE / IniciarSistemaDNF. Instalacao is the
// worker's flag: only an installation installs the service. The second batch
// is written once the first has ended (after at least 1000 ms). Only a batch
// file that cannot be saved throws; every other step ignores its outcome.
void IniciarSistema(Env& env, const EditionInfo& edition, const WindowPort& window, bool Instalacao);

}  // namespace selvane
