#pragma once
// The lines of the batch files the installer writes. Blanks at line ends are
// part of the texts: cmd.exe is given them exactly as they stand.

#include <string_view>

#include "editions/editions.h"
#include "install/batch_file.h"

namespace selvane {

// AtualizaSistema.bat when the edition folder has no updater yet.
BatchLines FirstCopyBatch(const EditionInfo& edition);
// AtualizaSistema.bat when the server has a newer updater.
BatchLines ReplacementBatch(const EditionInfo& edition);

// IniciarSistema.bat, first run: copies and registers the font.
BatchLines FontBatch(const EditionInfo& edition);
// IniciarSistema.bat, second run: ends the updaters, on an ECF installation
// installs and starts the service, starts the point-of-sale program. The
// folder line is built from the window's PastaRaiz, with no closing quote.
BatchLines StartBatch(const EditionInfo& edition, std::string_view PastaRaiz, bool Instalacao);

}  // namespace selvane
