#pragma once
// What the worker thread may do with the main window. Every call is safe from
// the worker thread: changes are delivered to the window thread as typed
// messages (ui_message.h) and the worker never waits for them to be applied.

#include <string>

namespace selvane {

class WindowPort {
 public:
  virtual ~WindowPort() = default;
  virtual void SetStatus(const std::string& text) = 0;  // Label1
  virtual std::string PastaRaiz() const = 0;            // fixed before the worker starts
  // Shows and starts, or stops and hides, the busy animation.
  virtual void SetAnimation(bool running) = 0;
  virtual void SetClosePanelEnabled(bool enabled) = 0;  // KavelPanel2
  virtual void RequestShortcut() = 0;                   // CriarAtalhoAguardando := true
  virtual void WorkerEnded() = 0;                       // ThreadRodando := false
  virtual void TerminateApplication() = 0;              // the application is told to end
};

}  // namespace selvane
