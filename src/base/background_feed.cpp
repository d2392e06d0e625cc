#include "base/background_feed.h"

#include <utility>

namespace selvane {

BackgroundFeed::BackgroundFeed(Consumer consume, size_t batch)
    : consume_(std::move(consume)), batch_(batch), thread_([this] { Run(); }) {}

BackgroundFeed::~BackgroundFeed() {
  {
    std::lock_guard lock(mu_);
    stop_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

void BackgroundFeed::Feed(std::span<const uint8_t> bytes) {
  if (bytes.empty()) return;
  {
    std::unique_lock lock(mu_);
    changed_.wait(lock, [this] { return !handed_[filling_]; });
    if (failure_) return;
  }
  // Not handed on: the filling buffer is the producer's alone.
  std::vector<uint8_t>& buffer = buffers_[filling_];
  buffer.insert(buffer.end(), bytes.begin(), bytes.end());
  if (buffer.size() >= batch_) HandOn();
}

void BackgroundFeed::HandOn() {
  {
    std::lock_guard lock(mu_);
    handed_[filling_] = true;
    filling_ ^= 1;
  }
  changed_.notify_all();
}

std::exception_ptr BackgroundFeed::Finish() {
  std::unique_lock lock(mu_);
  changed_.wait(lock, [this] { return !handed_[filling_]; });
  if (!buffers_[filling_].empty() && !failure_) {
    handed_[filling_] = true;
    filling_ ^= 1;
    changed_.notify_all();
  }
  changed_.wait(lock, [this] { return !handed_[0] && !handed_[1]; });
  return failure_;
}

void BackgroundFeed::Run() {
  std::unique_lock lock(mu_);
  // Buffers are handed on alternately, starting with the first.
  for (int next = 0;; next ^= 1) {
    changed_.wait(lock, [&] { return stop_ || handed_[next]; });
    if (stop_) return;
    const bool failed = failure_ != nullptr;
    lock.unlock();
    std::exception_ptr error;
    if (!failed) {
      try {
        consume_(buffers_[next]);
      } catch (...) {
        error = std::current_exception();
      }
    }
    buffers_[next].clear();  // keeps its memory for the next batch
    lock.lock();
    if (error) failure_ = error;
    handed_[next] = false;
    changed_.notify_all();
  }
}

}  // namespace selvane
