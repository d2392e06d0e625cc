#include "platform/job_thread.h"

#include <utility>

namespace selvane {

JobThread::~JobThread() {
  {
    ThreadGate::Hold hold(gate_);
    hold.WaitUntil([this] { return !busy_; });
    stop_ = true;
    gate_.WakeAll();
  }
  if (thread_.joinable()) thread_.join();
}

void JobThread::Start(Job job) {
  {
    ThreadGate::Hold hold(gate_);
    job_ = std::move(job);
    busy_ = true;
    gate_.WakeAll();
  }
  if (!thread_.joinable()) thread_ = std::thread([this] { Run(); });
}

std::exception_ptr JobThread::Wait() {
  ThreadGate::Hold hold(gate_);
  hold.WaitUntil([this] { return !busy_; });
  return std::exchange(failure_, nullptr);
}

void JobThread::Run() {
  for (;;) {
    Job job;
    {
      ThreadGate::Hold hold(gate_);
      hold.WaitUntil([this] { return stop_ || busy_; });
      if (!busy_) return;  // stopping with nothing left to run
      job = std::move(job_);
    }
    std::exception_ptr error;
    try {
      job();
    } catch (...) {
      error = std::current_exception();
    }
    job = nullptr;  // what the job holds goes before the caller hears it ended
    ThreadGate::Hold hold(gate_);
    failure_ = error;
    busy_ = false;
    gate_.WakeAll();
  }
}

}  // namespace selvane
