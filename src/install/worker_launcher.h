#pragma once
// How the window starts the edition's worker thread. The launcher returns at
// once; the worker talks back only through the WindowPort, which outlives it.
// The window keeps no reference to the worker.

#include <functional>

#include "editions/editions.h"
#include "install/window_port.h"

namespace selvane {

// Instalacao: true for a first installation, false for an update; the worker
// keeps it as its own field.
using WorkerLauncher = std::function<void(const EditionInfo& edition, bool Instalacao, WindowPort& window)>;

}  // namespace selvane
