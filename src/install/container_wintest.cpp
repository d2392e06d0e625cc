// Unpacking on Windows itself: real share modes and file replacement.

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "install/container.h"
#include "platform/system_error_text.h"
#include "protocol/container_test_util.h"

namespace selvane {
namespace {

std::string Container(const std::string& data) {
  return container_test::Deflate(container_test::Body({{"x", data}}));
}

class WinContainerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = "C:\\selvane-install-wintest-" + std::to_string(GetCurrentProcessId()) + "\\";
    ASSERT_TRUE(env_.CreateDirectory(dir_));
  }
  void TearDown() override {
    for (const DirEntry& e : env_.FindFiles(dir_ + "*.*")) {
      if ((e.attributes & kAttrDirectory) == 0) env_.DeleteFile(dir_ + e.name);
    }
    RemoveDirectoryA(dir_.c_str());
  }
  void Write(const std::string& name, const std::string& bytes) {
    auto f = env_.Create(dir_ + name, ShareMode::kExclusive);
    f->Write(bytes.data(), bytes.size());
    f->Close();
  }
  std::string Read(const std::string& name) {
    auto f = env_.OpenRead(dir_ + name, ShareMode::kReadWrite);
    std::string out;
    char buf[4096];
    for (size_t n; (n = f->Read(buf, sizeof buf)) != 0;) out.append(buf, n);
    return out;
  }

  Env& env_ = *DefaultEnv();
  std::string dir_;
};

TEST_F(WinContainerTest, ReplacesTheTargetOnlyWhenWhole) {
  Write("VendraECF.exe", "old");
  Write("a.zip", Container("new content"));
  Descomprimir(env_, dir_ + "a.zip", dir_ + "VendraECF.exe");
  EXPECT_EQ(Read("VendraECF.exe"), "new content");
  EXPECT_FALSE(env_.FileExists(UnpackTempPath(dir_ + "VendraECF.exe")));

  const std::string cut = Container("newer content");
  Write("a.zip", cut.substr(0, cut.size() - 3));
  EXPECT_THROW(Descomprimir(env_, dir_ + "a.zip", dir_ + "VendraECF.exe"), EReadError);
  EXPECT_EQ(Read("VendraECF.exe"), "new content");
  EXPECT_FALSE(env_.FileExists(UnpackTempPath(dir_ + "VendraECF.exe")));
}

TEST_F(WinContainerTest, ATargetHeldOpenByAnotherProgramIsLeftAlone) {
  Write("VendraECF.exe", "running");
  Write("a.zip", Container("new content"));
  // Opened as a running program's image is: no one may delete or replace it.
  HANDLE h = CreateFileA((dir_ + "VendraECF.exe").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_THROW(Descomprimir(env_, dir_ + "a.zip", dir_ + "VendraECF.exe"), EFCreateError);
  CloseHandle(h);
  EXPECT_EQ(Read("VendraECF.exe"), "running");
  EXPECT_FALSE(env_.FileExists(UnpackTempPath(dir_ + "VendraECF.exe")));
}

TEST_F(WinContainerTest, TheContainerItselfCannotBeTheTarget) {
  Write("a.zip", Container("abc"));
  try {
    Descomprimir(env_, dir_ + "a.zip", dir_ + "A.ZIP");
    ADD_FAILURE();
  } catch (const EFCreateError& e) {
    EXPECT_EQ(e.what(), CreateErrorMessage(dir_ + "A.ZIP", kSharingViolationText));
  }
  // Which is what Windows refuses: creating a file that is held without sharing.
  HANDLE held = CreateFileA((dir_ + "a.zip").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_THROW(env_.Create(dir_ + "A.ZIP", ShareMode::kExclusive), EFCreateError);
  CloseHandle(held);
  EXPECT_EQ(Read("a.zip"), Container("abc"));
}

}  // namespace
}  // namespace selvane
