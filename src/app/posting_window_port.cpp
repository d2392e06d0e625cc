#include "app/posting_window_port.h"

#include <utility>

namespace selvane {

void PostingWindowPort::Fix(const std::string& PastaRaiz) {
  std::lock_guard lock(mu_);
  PastaRaiz_ = PastaRaiz;
}

void PostingWindowPort::Attach(MainView& view) {
  std::lock_guard lock(mu_);
  view_ = &view;
}

void PostingWindowPort::Detach() {
  std::lock_guard lock(mu_);
  view_ = nullptr;
}

void PostingWindowPort::Send(UiMessage msg) {
  std::lock_guard lock(mu_);
  if (view_ != nullptr) view_->Post(std::move(msg));
}

std::string PostingWindowPort::PastaRaiz() const {
  std::lock_guard lock(mu_);
  return PastaRaiz_;
}

void PostingWindowPort::SetStatus(const std::string& text) {
  std::lock_guard lock(mu_);
  // The label shows it already, or will when the last post arrives: a step of
  // many files repeats each percentage, and every post costs both threads.
  if (view_ == nullptr || text == last_status_) return;
  last_status_ = text;
  view_->Post(SetStatusMsg{text});
}
void PostingWindowPort::SetAnimation(bool running) { Send(SetAnimationMsg{running}); }
void PostingWindowPort::SetClosePanelEnabled(bool enabled) { Send(SetClosePanelEnabledMsg{enabled}); }
void PostingWindowPort::RequestShortcut() { Send(RequestShortcutMsg{}); }
void PostingWindowPort::WorkerEnded() { Send(WorkerEndedMsg{}); }
void PostingWindowPort::TerminateApplication() { Send(TerminateMsg{}); }

}  // namespace selvane
