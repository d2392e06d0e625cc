#pragma once
// Stand-ins shared by the app tests: a window that records what is done to it
// and queues posted messages until ProcessMessages, and the in-memory Env with
// the system stand-ins in front.

#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "testing/memory_env.h"
#include "testing/recording_system_env.h"
#include "ui/main_view.h"

namespace selvane::testing {

class RecordingView : public MainView {
 public:
  // What the window shows; starts as the window is created.
  std::string status = "Aguardando...";
  std::string title;
  bool choice_visible = false;
  bool choice_ever_shown = false;
  bool animation = false;
  bool close_enabled = true;
  bool terminated = false;
  std::vector<std::string> statuses;  // every status text, in order
  std::vector<std::string> errors;    // message boxes
  int process_passes = 0;
  // Runs at the start of every ProcessMessages pass (the pass number is given),
  // so a test can act as a worker while the window waits.
  std::function<void(int)> on_pass;
  MainViewEvents events;

  void SetStatusText(const std::string& text) override {
    status = text;
    statuses.push_back(text);
  }
  void SetTitleText(const std::string& text) override { title = text; }
  void SetChoicePanelVisible(bool visible) override {
    choice_visible = visible;
    choice_ever_shown |= visible;
  }
  void SetAnimation(bool running) override { animation = running; }
  void SetClosePanelEnabled(bool enabled) override { close_enabled = enabled; }
  void ShowErrorMessage(const std::string& text) override { errors.push_back(text); }

  void Post(UiMessage msg) override {
    std::lock_guard lock(mu_);
    queue_.push_back(std::move(msg));
  }
  void SetMessageHandler(std::function<void(const UiMessage&)> handler) override { handler_ = std::move(handler); }
  void SetEvents(MainViewEvents e) override { events = std::move(e); }

  bool ProcessMessages() override {
    ++process_passes;
    if (on_pass) on_pass(process_passes);
    DispatchPending();
    return !terminated;
  }
  int RunMessageLoop() override {
    while (ProcessMessages()) {
    }
    return 0;
  }
  void Terminate() override { terminated = true; }

  void DispatchPending() {
    while (true) {
      std::optional<UiMessage> msg;
      {
        std::lock_guard lock(mu_);
        if (queue_.empty()) return;
        msg = std::move(queue_.front());
        queue_.pop_front();
      }
      if (handler_) handler_(*msg);
    }
  }
  size_t pending() {
    std::lock_guard lock(mu_);
    return queue_.size();
  }
  bool has_handler() const { return static_cast<bool>(handler_); }

 private:
  std::mutex mu_;
  std::deque<UiMessage> queue_;
  std::function<void(const UiMessage&)> handler_;
};

// The window controller's Env: drive C: in memory behind the system stand-ins,
// started as from a download folder.
class WindowEnv : public RecordingSystemEnv {
 public:
  WindowEnv() : RecordingSystemEnv(&files) { SetExecutablePath("C:\\Users\\ana\\Downloads\\Selvane.exe"); }
  MemoryEnv files;
};

}  // namespace selvane::testing
