#pragma once
// The job thread's cases, over the standard lock and condition and over the
// system's own on Windows.

#include "platform/job_thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace selvane {
namespace {

// Jobs run in the order given, off the caller's thread, never two at once,
// while the caller goes on between handing one on and waiting for it.
TEST(JobThread, RunsEachJobInTurnWhileTheCallerGoesOn) {
  JobThread jobs;
  std::vector<int> ran;
  std::atomic<int> running{0};
  std::atomic<bool> overlapped{false};
  const std::thread::id caller = std::this_thread::get_id();
  for (int i = 0; i < 200; ++i) {
    jobs.Start([&, i] {
      if (running.fetch_add(1) != 0) overlapped = true;
      EXPECT_NE(std::this_thread::get_id(), caller);
      ran.push_back(i);  // read by the caller only after Wait
      if (i % 3 == 0) std::this_thread::yield();
      running.fetch_sub(1);
    });
    ASSERT_EQ(jobs.Wait(), nullptr);
  }
  EXPECT_FALSE(overlapped);
  ASSERT_EQ(ran.size(), 200u);
  for (int i = 0; i < 200; ++i) EXPECT_EQ(ran[i], i);
}

// A job's failure comes back once, from the Wait after it; the thread goes on
// with the next job.
TEST(JobThread, AFailureIsReturnedOnceAndTheNextJobRuns) {
  JobThread jobs;
  EXPECT_EQ(jobs.Wait(), nullptr);  // nothing handed on yet
  jobs.Start([] { throw std::runtime_error("disk full"); });
  const std::exception_ptr failure = jobs.Wait();
  ASSERT_NE(failure, nullptr);
  try {
    std::rethrow_exception(failure);
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "disk full");
  }
  EXPECT_EQ(jobs.Wait(), nullptr);
  bool ran = false;
  jobs.Start([&] { ran = true; });
  EXPECT_EQ(jobs.Wait(), nullptr);
  EXPECT_TRUE(ran);
}

// Going away waits for the job still running, failed or not.
TEST(JobThread, GoingAwayWaitsForTheRunningJob) {
  for (const bool fails : {false, true}) {
    std::atomic<bool> done{false};
    {
      JobThread jobs;
      jobs.Start([&] {
        for (int i = 0; i < 1000; ++i) std::this_thread::yield();
        done = true;
        if (fails) throw std::runtime_error("late");
      });
    }
    EXPECT_TRUE(done) << (fails ? "failing" : "succeeding");
  }
}

}  // namespace
}  // namespace selvane
