// A hundred installations and updates in one process leave no trace: the
// open files and sockets, the threads and the memory in use are the same
// after the last run as after the first few.

#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#if __has_include(<sanitizer/allocator_interface.h>) && (defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__))
#include <sanitizer/allocator_interface.h>
#define SELVANE_ALLOCATOR_BYTES 1
#else
#include <malloc.h>
#endif

#include "install_fixture.h"

namespace selvane {
namespace {

using refserver::kTime2;

size_t Entries(const char* folder) {
  size_t n = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(folder)) ++n;
  return n;
}

size_t BytesInUse() {
#ifdef SELVANE_ALLOCATOR_BYTES
  return __sanitizer_get_current_allocated_bytes();
#else
  return mallinfo2().uordblks;
#endif
}

struct Footprint {
  size_t open_fds;
  size_t threads;
  size_t bytes;
};

class RepeatedRunsTest : public InstallFixture {
 protected:
  // Once the server has ended `sessions` sessions (its socket closed) and
  // their threads have gone, down to `threads` or as far as they go.
  Footprint Measure(int sessions, size_t threads) {
    while (server_->FinishedSessions() < sessions) std::this_thread::yield();
    for (int i = 0; i < 1000000 && Entries("/proc/self/task") > threads; ++i) std::this_thread::yield();
    return {Entries("/proc/self/fd"), Entries("/proc/self/task"), BytesInUse()};
  }
};

TEST_F(RepeatedRunsTest, HundredInstallationsAndUpdatesLeaveNoTrace) {
  repo_.Add("ECF/VendraECF.exe", "MZ vendra 2", kTime2);
  repo_.Add("ECF/Dados.dat", std::string(100 * 1024, 'd'), kTime2);
  repo_.Add("KVL/kvl.dat", "kvl", kTime2);
  StartServer();
  constexpr int kRuns = 100;
  constexpr int kWarmUp = 10;  // first-use allocations of the libraries settle here
  // The memory a run may leave in caches that do not grow with the runs.
  constexpr size_t kMemorySlack = 256 * 1024;
  const size_t threads_between_runs = Entries("/proc/self/task");
  Footprint settled{};
  for (int run = 0; run < kRuns; ++run) {
    SCOPED_TRACE("run " + std::to_string(run));
    const bool installation = run % 2 == 0;
    if (installation) {
      std::filesystem::remove_all(root_.HostPath("C:\\Kavel"));
      PrepareClient(Edition::kECF, true);
      PlaceCurrentUpdater(Edition::kECF);
    }
    RecordingWindow& w = Run(Edition::kECF, installation);
    ASSERT_EQ(w.LastStatus(), "Concluído!");
    connection_.reset();
    window_.reset();
    env().ClearLog();
    if (run == kWarmUp - 1) settled = Measure(kWarmUp, threads_between_runs);
  }
  const Footprint last = Measure(kRuns, threads_between_runs);
  EXPECT_EQ(last.open_fds, settled.open_fds);
  EXPECT_EQ(last.threads, settled.threads);
  EXPECT_LE(last.bytes, settled.bytes + kMemorySlack) << "grew by " << last.bytes - settled.bytes << " bytes";
}

}  // namespace
}  // namespace selvane
