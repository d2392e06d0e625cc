#include "app/posting_window_port.h"

#include <utility>

namespace selvane {

void PostingWindowPort::Fix(const std::string& title, const std::string& pasta_raiz) {
  std::lock_guard lock(mu_);
  title_ = title;
  pasta_raiz_ = pasta_raiz;
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

std::string PostingWindowPort::Title() const {
  std::lock_guard lock(mu_);
  return title_;
}

std::string PostingWindowPort::PastaRaiz() const {
  std::lock_guard lock(mu_);
  return pasta_raiz_;
}

void PostingWindowPort::SetStatus(const std::string& text) { Send(SetStatusMsg{text}); }
void PostingWindowPort::SetAnimation(bool running) { Send(SetAnimationMsg{running}); }
void PostingWindowPort::SetClosePanelEnabled(bool enabled) { Send(SetClosePanelEnabledMsg{enabled}); }
void PostingWindowPort::RequestShortcut() { Send(RequestShortcutMsg{}); }
void PostingWindowPort::WorkerEnded() { Send(WorkerEndedMsg{}); }
void PostingWindowPort::TerminateApplication() { Send(TerminateMsg{}); }

}  // namespace selvane
