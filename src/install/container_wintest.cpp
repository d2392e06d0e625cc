// Unpacking on Windows itself: real share modes and file replacement.

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "install/container.h"
#include "platform/system_error_text.h"
#include "platform/windows_api.h"
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
    EXPECT_EQ(std::string(e.what()), "Cannot create file \"" + dir_ +
                                          "A.ZIP\". The process cannot access the file because it is being used "
                                          "by another process.");
  }
  // Which is what Windows refuses: creating a file that is held without sharing.
  HANDLE held = CreateFileA((dir_ + "a.zip").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_THROW(env_.Create(dir_ + "A.ZIP", ShareMode::kExclusive), EFCreateError);
  CloseHandle(held);
  EXPECT_EQ(Read("a.zip"), Container("abc"));
}

// Windows decides what names one file: letter case beyond ASCII and 8.3
// aliases included. A container spelled as its target in any such way is
// refused before a byte is written, and the target keeps its content.
TEST_F(WinContainerTest, AnySpellingOfTheTargetIsRefusedAsTheContainer) {
  Write("relatório.txt", "vendas do dia");
  Write("VendraECF-Caixa.exe", "running program");
  Write("outro.txt", "other");
  std::wstring alias(MAX_PATH, L'\0');
  const DWORD n = GetShortPathNameW(Wide(dir_ + "VendraECF-Caixa.exe").c_str(), alias.data(), MAX_PATH);
  ASSERT_GT(n, 0u);
  alias.resize(n);
  const std::string short_name = Narrow(alias);
  struct Case {
    std::string container;
    std::string target;
  };
  std::vector<Case> cases = {
      {dir_ + "RELATÓRIO.TXT", dir_ + "relatório.txt"},
      {dir_ + "Relatório.Txt", dir_ + "relatório.txt"},
      {dir_ + "VENDRAECF-CAIXA.EXE", dir_ + "VendraECF-Caixa.exe"},
  };
  if (short_name != dir_ + "VendraECF-Caixa.exe") {
    cases.push_back({short_name, dir_ + "VendraECF-Caixa.exe"});
  } else {
    ADD_FAILURE() << "this file system gave no 8.3 alias";
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.container);
    ASSERT_TRUE(env_.FileExists(c.container)) << "Windows does not take the two as one file";
    try {
      CheckContainerIsNotTarget(env_, c.container, c.target);
      ADD_FAILURE() << "not refused";
    } catch (const EFCreateError& e) {
      EXPECT_EQ(std::string(e.what()), "Cannot create file \"" + c.target +
                                           "\". The process cannot access the file because it is being used by "
                                           "another process.");
    }
    EXPECT_THROW(Descomprimir(env_, c.container, c.target), EFCreateError);
  }
  EXPECT_EQ(Read("relatório.txt"), "vendas do dia");
  EXPECT_EQ(Read("VendraECF-Caixa.exe"), "running program");
  // Different files are told apart, whatever their names share.
  EXPECT_NO_THROW(CheckContainerIsNotTarget(env_, dir_ + "outro.txt", dir_ + "relatório.txt"));
  EXPECT_NO_THROW(CheckContainerIsNotTarget(env_, dir_ + "missing.zip", dir_ + "relatório.txt"));
}

}  // namespace
}  // namespace selvane
