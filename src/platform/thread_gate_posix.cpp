#include "platform/thread_gate.h"

#include <condition_variable>
#include <mutex>

namespace selvane {

struct ThreadGate::Impl {
  std::mutex mu;
  std::condition_variable changed;
};

ThreadGate::ThreadGate() : impl_(std::make_unique<Impl>()) {}
ThreadGate::~ThreadGate() = default;

void ThreadGate::Lock() { impl_->mu.lock(); }
void ThreadGate::Unlock() { impl_->mu.unlock(); }
void ThreadGate::Wait() {
  std::unique_lock lock(impl_->mu, std::adopt_lock);
  impl_->changed.wait(lock);
  lock.release();  // still held, by the caller
}
void ThreadGate::WakeAll() { impl_->changed.notify_all(); }

}  // namespace selvane
