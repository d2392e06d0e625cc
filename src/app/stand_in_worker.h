#pragma once
// A worker that only ends: it keeps every window path runnable while the
// installer core is not wired into the program.

#include "app/worker_launcher.h"
#include "platform/env.h"

namespace selvane {

// Starts, on its own thread, a worker that reports its end and nothing else.
WorkerLauncher StandInWorkerLauncher(Env& env);

}  // namespace selvane
