#include "install/kill_task.h"

#include <gtest/gtest.h>

#include "install/test_root.h"

namespace selvane {
namespace {

// Terminations of chosen pids fail, as for a process that cannot be opened.
class StubbornEnv : public RecordingEnv {
 public:
  using RecordingEnv::RecordingEnv;
  bool TerminateProcess(uint32_t pid, uint32_t exit_code) override {
    RecordingEnv::TerminateProcess(pid, exit_code);
    return pid != stubborn_a && pid != stubborn_b;
  }
  uint32_t stubborn_a = 0;
  uint32_t stubborn_b = 0;
};

class KillTaskTest : public ::testing::Test {
 protected:
  KillTaskTest() : env_(&root_.native()) {
    env_.SetProcesses({{10, "VendraECF.exe"},
                       {11, "C:\\Kavel\\ECF\\VENDRAECF.EXE"},
                       {12, "explorer.exe"},
                       {13, "vendraecf.exe"},
                       {14, "VendraECF.exe.bak"},
                       {15, "VendraÉCF.exe"},
                       {16, "VendraNFCE.exe"}});
  }
  TestRoot root_;
  StubbornEnv env_;
};

TEST_F(KillTaskTest, EndsEveryMatchWhateverItsAsciiCase) {
  EXPECT_NE(KillTask(env_, "VendraECF.exe"), 0);
  EXPECT_EQ(env_.TerminatedPids(), (std::vector<uint32_t>{10, 11, 13}));
}

TEST_F(KillTaskTest, NonAsciiLettersAreNotFolded) {
  EXPECT_EQ(KillTask(env_, "VENDRAéCF.EXE"), 0);
  EXPECT_TRUE(env_.TerminatedPids().empty());
  EXPECT_NE(KillTask(env_, "VendraÉCF.EXE"), 0);
  EXPECT_EQ(env_.TerminatedPids(), (std::vector<uint32_t>{15}));
}

TEST_F(KillTaskTest, ResultIsTheOutcomeOfTheLastAttempt) {
  env_.stubborn_a = 11;
  EXPECT_NE(KillTask(env_, "VendraECF.exe"), 0);  // 10 ok, 11 fails, 13 ok
  EXPECT_EQ(env_.TerminatedPids(), (std::vector<uint32_t>{10, 11, 13}));
  env_.SetProcesses({{20, "VendraMEI.exe"}, {21, "VendraMEI.exe"}});
  env_.stubborn_b = 21;
  EXPECT_EQ(KillTask(env_, "VendraMEI.exe"), 0);  // the last one failed; the loop still went on
}

TEST_F(KillTaskTest, NoMatchEndsNothing) {
  EXPECT_EQ(KillTask(env_, "VendraMEI.exe"), 0);
  EXPECT_EQ(KillTask(env_, ""), 0);
  EXPECT_TRUE(env_.TerminatedPids().empty());
}

}  // namespace
}  // namespace selvane
