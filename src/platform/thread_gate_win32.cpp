#include "platform/thread_gate.h"
#include "platform/windows_api.h"

namespace selvane {

struct ThreadGate::Impl {
  SRWLOCK lock = SRWLOCK_INIT;
  CONDITION_VARIABLE changed = CONDITION_VARIABLE_INIT;
};

ThreadGate::ThreadGate() : impl_(std::make_unique<Impl>()) {}
ThreadGate::~ThreadGate() = default;

void ThreadGate::Lock() { AcquireSRWLockExclusive(&impl_->lock); }
void ThreadGate::Unlock() { ReleaseSRWLockExclusive(&impl_->lock); }
void ThreadGate::Wait() { SleepConditionVariableSRW(&impl_->changed, &impl_->lock, INFINITE, 0); }
void ThreadGate::WakeAll() { WakeAllConditionVariable(&impl_->changed); }

}  // namespace selvane
