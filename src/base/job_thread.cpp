#include "base/job_thread.h"

#include <utility>

namespace selvane {

JobThread::~JobThread() {
  {
    std::unique_lock lock(mu_);
    changed_.wait(lock, [this] { return !busy_; });
    stop_ = true;
  }
  changed_.notify_all();
  if (thread_.joinable()) thread_.join();
}

void JobThread::Start(Job job) {
  {
    std::lock_guard lock(mu_);
    job_ = std::move(job);
    busy_ = true;
  }
  if (!thread_.joinable()) thread_ = std::thread([this] { Run(); });
  changed_.notify_all();
}

std::exception_ptr JobThread::Wait() {
  std::unique_lock lock(mu_);
  changed_.wait(lock, [this] { return !busy_; });
  return std::exchange(failure_, nullptr);
}

void JobThread::Run() {
  std::unique_lock lock(mu_);
  for (;;) {
    changed_.wait(lock, [this] { return stop_ || busy_; });
    if (!busy_) return;  // stopping with nothing left to run
    Job job = std::move(job_);
    lock.unlock();
    std::exception_ptr error;
    try {
      job();
    } catch (...) {
      error = std::current_exception();
    }
    job = nullptr;  // what the job holds goes before the caller hears it ended
    lock.lock();
    failure_ = error;
    busy_ = false;
    changed_.notify_all();
  }
}

}  // namespace selvane
