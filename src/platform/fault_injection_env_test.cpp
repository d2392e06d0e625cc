#include "platform/fault_injection_env.h"

#include <gtest/gtest.h>

#include "platform/posix_env.h"
#include "testing/scratch_dir.h"

namespace selvane {
namespace {

class FaultInjectionEnvTest : public ::testing::Test {
 protected:
  void SetUp() override {
    base_ = std::make_unique<PosixEnv>(root_.path());
    env_ = std::make_unique<FaultInjectionEnv>(base_.get());
  }
  void TearDown() override {
    env_.reset();
    base_.reset();
  }
  std::string Message(const std::function<void()>& fn) {
    try {
      fn();
    } catch (const EFileError& e) {
      return e.what();
    }
    return "(no error)";
  }
  ScratchDir root_{"selvane-fault"};
  std::unique_ptr<PosixEnv> base_;
  std::unique_ptr<FaultInjectionEnv> env_;
};

TEST_F(FaultInjectionEnvTest, FullDiskKeepsTheBytesBeforeTheLimit) {
  env_->LimitWrittenBytes(5);
  auto f = env_->Create("C:\\a.bin", ShareMode::kExclusive);
  f->Write("abc", 3);
  EXPECT_EQ(Message([&] { f->Write("defg", 4); }),
            "There is not enough space on the disk.");
  f->Close();
  auto r = base_->OpenRead("C:\\a.bin", ShareMode::kReadWrite);
  char buf[16];
  EXPECT_EQ(std::string(buf, r->Read(buf, sizeof buf)), "abcde");
}

TEST_F(FaultInjectionEnvTest, ReadsFailOnceTheBudgetIsSpent) {
  auto w = base_->Create("C:\\r.bin", ShareMode::kExclusive);
  w->Write("0123456789", 10);
  w->Close();
  env_->LimitReadBytes(4);
  auto r = env_->OpenRead("C:\\r.bin", ShareMode::kExclusive);
  char buf[16];
  EXPECT_EQ(r->Read(buf, sizeof buf), 4u);
  EXPECT_THROW(r->Read(buf, sizeof buf), EInOutError);
}

TEST_F(FaultInjectionEnvTest, ChosenPathsAndCallsFail) {
  env_->FailCreate("\\locked\\");
  env_->FailOpenRead("held.bin");
  EXPECT_EQ(Message([&] { env_->Create("C:\\locked\\x.txt", ShareMode::kExclusive); }),
            "Cannot create file \"C:\\locked\\x.txt\". Access is denied.");
  EXPECT_EQ(Message([&] { env_->OpenRead("C:\\held.bin", ShareMode::kReadWrite); }),
            "Cannot open file \"C:\\held.bin\". The process cannot access the file because it is "
            "being used by another process.");
  env_->Create("C:\\ok.txt", ShareMode::kExclusive)->Close();
  env_->fail_delete = true;
  env_->fail_set_time = true;
  EXPECT_FALSE(env_->DeleteFile("C:\\ok.txt"));
  EXPECT_FALSE(env_->SetLastWriteDos("C:\\ok.txt", DosDateTime{33, 0}));
  EXPECT_TRUE(env_->FileExists("C:\\ok.txt"));  // everything else reaches the target
  env_->fail_delete = false;
  EXPECT_TRUE(env_->DeleteFile("C:\\ok.txt"));
}

}  // namespace
}  // namespace selvane
