#pragma once
// Runs jobs one at a time on a thread of its own while the caller goes on (a
// file is written while the next one is received). A job is handed on only
// once the caller has waited for the one before it, so jobs run in the order
// given and never two at once; the thread is made at the first job and kept
// for every later one. Handing on and waiting use a ThreadGate, which costs
// no round trip to a server process where Windows is emulated.

#include <exception>
#include <functional>
#include <thread>

#include "platform/thread_gate.h"

namespace selvane {

class JobThread {
 public:
  using Job = std::function<void()>;

  JobThread() = default;
  // Waits for the job still running; its failure is dropped.
  ~JobThread();
  JobThread(const JobThread&) = delete;
  JobThread& operator=(const JobThread&) = delete;

  // Hands on `job`; the one before must have been waited for.
  void Start(Job job);
  // Waits until the job handed on has ended: its exception, or null (each
  // failure is returned once). Returns at once when none was handed on.
  std::exception_ptr Wait();

 private:
  void Run();

  ThreadGate gate_;
  Job job_;
  bool busy_ = false;
  bool stop_ = false;
  std::exception_ptr failure_;
  std::thread thread_;
};

}  // namespace selvane
