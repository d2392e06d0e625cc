#pragma once
// The WindowPort that the worker gets. Every change it asks for is posted to
// the window thread as a typed UiMessage (MainView::Post) and applied there by
// the window controller, in the order posted; a status text equal to the last
// one posted is not posted again. The worker never touches a
// window element, and the shortcut and "worker running" flags are written
// only on the window thread when their messages arrive, so they need no lock.
//
// The port must outlive the worker, which may still be posting its last
// messages while the program ends; the program therefore keeps its port for
// the whole process, and the window detaches it before going away.

#include <mutex>
#include <optional>
#include <string>

#include "ui/main_view.h"
#include "install/window_port.h"

namespace selvane {

class PostingWindowPort final : public WindowPort {
 public:
  // Window thread: posts go to this view from now on.
  void Attach(MainView& view);
  // Window thread, before the worker starts: what the worker may read back.
  void Fix(const std::string& PastaRaiz);
  // Window thread, when the window goes away: later posts are dropped, so a
  // worker still running at the end of the program cannot reach a dead view.
  void Detach();

  void SetStatus(const std::string& text) override;
  std::string PastaRaiz() const override;
  void SetAnimation(bool running) override;
  void SetClosePanelEnabled(bool enabled) override;
  void RequestShortcut() override;
  void WorkerEnded() override;
  void TerminateApplication() override;

 private:
  void Send(UiMessage msg);

  mutable std::mutex mu_;
  MainView* view_ = nullptr;
  std::string PastaRaiz_;
  std::optional<std::string> last_status_;  // the last status posted
};

}  // namespace selvane
