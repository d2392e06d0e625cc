#include "testing/fault_injection_env.h"

#include <gtest/gtest.h>

#include "testing/file_error_text.h"
#include "testing/memory_env.h"

namespace selvane {
namespace {

class FaultInjectionEnvTest : public ::testing::Test {
 protected:
  void SetUp() override { env_ = std::make_unique<FaultInjectionEnv>(&base_); }
  void TearDown() override { env_.reset(); }
  MemoryEnv base_;
  std::unique_ptr<FaultInjectionEnv> env_;
};

TEST_F(FaultInjectionEnvTest, FullDiskKeepsTheBytesBeforeTheLimit) {
  env_->LimitWrittenBytes(5);
  auto f = env_->Create("C:\\a.bin", ShareMode::kExclusive);
  f->Write("abc", 3);
  EXPECT_EQ(FileErrorText([&] { f->Write("defg", 4); }),
            "There is not enough space on the disk.");
  f->Close();
  auto r = base_.OpenRead("C:\\a.bin", ShareMode::kReadWrite);
  char buf[16];
  EXPECT_EQ(std::string(buf, r->Read(buf, sizeof buf)), "abcde");
}

TEST_F(FaultInjectionEnvTest, ReadsFailOnceTheBudgetIsSpent) {
  auto w = base_.Create("C:\\r.bin", ShareMode::kExclusive);
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
  EXPECT_EQ(FileErrorText([&] { env_->Create("C:\\locked\\x.txt", ShareMode::kExclusive); }),
            "Cannot create file \"C:\\locked\\x.txt\". Access is denied.");
  EXPECT_EQ(FileErrorText([&] { env_->OpenRead("C:\\held.bin", ShareMode::kReadWrite); }),
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

// Each kind of call fails at exactly the index asked for, counted over all
// files; the calls before it and after it go through.
TEST_F(FaultInjectionEnvTest, TheNthCallOfAKindFails) {
  using Call = FaultInjectionEnv::Call;
  const auto when = *DosDateTimeFromDateTime(45000.5);
  for (const Call kind : FaultInjectionEnv::kCalls) {
    for (size_t index = 0; index < 3; ++index) {
      SCOPED_TRACE(testing::Message() << "kind " << static_cast<int>(kind) << " call " << index);
      for (int i = 0; i < 4; ++i) base_.PutFile("C:\\m" + std::to_string(i) + ".txt", "m");
      auto held = env_->Create("C:\\w.txt", ShareMode::kExclusive);
      env_->FailCall(kind, index);
      std::vector<bool> through;
      for (int i = 0; i < 4; ++i) {
        const std::string n = std::to_string(i);
        switch (kind) {
          case Call::kCreate:
            through.push_back(FileErrorText([&] { env_->Create("C:\\c" + n + ".txt", ShareMode::kExclusive); }) ==
                              kNoFileError);
            break;
          case Call::kWrite: through.push_back(FileErrorText([&] { held->Write("x", 1); }) == kNoFileError); break;
          case Call::kMove:
            through.push_back(env_->MoveFileReplace("C:\\m" + n + ".txt", "C:\\n" + n + ".txt"));
            break;
          case Call::kSetTime: through.push_back(env_->SetLastWriteDos("C:\\m" + n + ".txt", when)); break;
          case Call::kDelete: through.push_back(env_->DeleteFile("C:\\m" + n + ".txt")); break;
        }
      }
      std::vector<bool> expected(4, true);
      expected[index] = false;
      EXPECT_EQ(through, expected);
      EXPECT_EQ(env_->Calls(kind), 4u);
    }
  }
  // The texts are the file layer's own.
  env_->FailCall(FaultInjectionEnv::Call::kCreate, 0);
  EXPECT_EQ(FileErrorText([&] { env_->Create("C:\\x.txt", ShareMode::kExclusive); }),
            "Cannot create file \"C:\\x.txt\". Access is denied.");
  env_->FailCall(FaultInjectionEnv::Call::kWrite, 0);
  auto f = env_->Create("C:\\y.txt", ShareMode::kExclusive);
  EXPECT_EQ(FileErrorText([&] { f->Write("y", 1); }), "There is not enough space on the disk.");
  f->Close();
  EXPECT_EQ(base_.Contents("C:\\y.txt"), "");
  env_->CountCalls();
  env_->Create("C:\\z.txt", ShareMode::kExclusive)->Write("zz", 2);
  EXPECT_EQ(env_->Calls(FaultInjectionEnv::Call::kCreate), 1u);
  EXPECT_EQ(env_->Calls(FaultInjectionEnv::Call::kWrite), 1u);
  EXPECT_EQ(env_->Calls(FaultInjectionEnv::Call::kMove), 0u);
}

}  // namespace
}  // namespace selvane
