#pragma once
// Test support: a window that records everything the worker asks of it.

#include <mutex>
#include <string>
#include <vector>

#include "install/window_port.h"

namespace selvane {

class RecordingWindow : public WindowPort {
 public:
  explicit RecordingWindow(std::string PastaRaiz) : PastaRaiz_(std::move(PastaRaiz)) {}

  void SetStatus(const std::string& text) override { Add("status", text); }
  std::string PastaRaiz() const override { return PastaRaiz_; }
  void SetAnimation(bool running) override { Add("animation", running ? "on" : "off"); }
  void SetClosePanelEnabled(bool enabled) override { Add("close panel", enabled ? "on" : "off"); }
  void RequestShortcut() override { Add("shortcut", ""); }
  void WorkerEnded() override { Add("ended", ""); }
  void TerminateApplication() override { Add("terminate", ""); }

  // Every call, as "kind" or "kind: value".
  std::vector<std::string> Events() const {
    std::lock_guard<std::mutex> lock(mu_);
    return events_;
  }
  // The status texts only, in order.
  std::vector<std::string> StatusTexts() const {
    std::lock_guard<std::mutex> lock(mu_);
    return statuses_;
  }
  std::string LastStatus() const {
    std::lock_guard<std::mutex> lock(mu_);
    return statuses_.empty() ? std::string() : statuses_.back();
  }

 private:
  void Add(const std::string& kind, const std::string& value) {
    std::lock_guard<std::mutex> lock(mu_);
    events_.push_back(value.empty() ? kind : kind + ": " + value);
    if (kind == "status") statuses_.push_back(value);
  }

  const std::string PastaRaiz_;
  mutable std::mutex mu_;
  std::vector<std::string> events_;
  std::vector<std::string> statuses_;
};

}  // namespace selvane
