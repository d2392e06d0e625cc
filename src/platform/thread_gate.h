#pragma once
// A lock with a condition to wait on, made of the system's own: on Windows a
// slim reader/writer lock and a condition variable, which wait and wake
// within the process (the threads library's mutexes and conditions cost a
// round trip to the server process on each wait and wake where Windows is
// emulated, more than a small file's writing); elsewhere the standard ones.

#include <memory>

namespace selvane {

class ThreadGate {
 public:
  ThreadGate();
  ~ThreadGate();
  ThreadGate(const ThreadGate&) = delete;
  ThreadGate& operator=(const ThreadGate&) = delete;

  void Lock();
  void Unlock();
  // With the lock held: gives it up until woken (or spuriously), then takes it again.
  void Wait();
  void WakeAll();

  // Holds the lock for a scope.
  class Hold {
   public:
    explicit Hold(ThreadGate& gate) : gate_(gate) { gate_.Lock(); }
    ~Hold() { gate_.Unlock(); }
    Hold(const Hold&) = delete;
    Hold& operator=(const Hold&) = delete;
    template <class Done>
    void WaitUntil(Done done) {
      while (!done()) gate_.Wait();
    }

   private:
    ThreadGate& gate_;
  };

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace selvane
