#include "app/stand_in_worker.h"

namespace selvane {

WorkerLauncher StandInWorkerLauncher(Env& env) {
  return [&env](const EditionInfo&, bool, WindowPort& port) {
    env.StartThread([&port] { port.WorkerEnded(); }, ThreadPriority::kAboveNormal);
  };
}

}  // namespace selvane
