// Putting a step's files in place on Windows itself: real renames, new files
// made under their own names, a target held by another program, and the
// Restart Manager's names for the holder.

#include "platform/windows_api.h"
// (first: the API's macros must be gone before Env is declared)
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "install/step_files.h"

namespace selvane {
namespace {

class WinStepFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = "C:\\selvane-step-wintest-" + std::to_string(::GetCurrentProcessId()) + "\\";
    ASSERT_TRUE(env_.CreateDirectory(dir_));
    for (const char* name : {"VendraECF.exe", "rtl260.bpl", "leiame.txt"}) Write(dir_ + name, "old");
  }
  void TearDown() override {
    StepFiles::RemoveLeftovers(env_, dir_);
    for (const DirEntry& e : env_.FindFiles(dir_ + "*.*")) {
      if ((e.attributes & kAttrDirectory) == 0) env_.DeleteFile(dir_ + e.name);
    }
    env_.RemoveDirectory(dir_);
  }
  void Write(const std::string& path, const std::string& bytes) {
    auto f = env_.Create(path, ShareMode::kExclusive);
    f->Write(bytes.data(), bytes.size());
    f->Close();
  }
  std::string Read(const std::string& name) {
    auto f = env_.OpenRead(dir_ + name, ShareMode::kReadWrite);
    std::string out;
    char buf[256];
    for (size_t n; (n = f->Read(buf, sizeof buf)) != 0;) out.append(buf, n);
    return out;
  }
  // Every name in the folder, folders included.
  std::vector<std::string> Names() {
    std::vector<std::string> out;
    for (const DirEntry& e : env_.FindFiles(dir_ + "*.*")) {
      if (e.name != "." && e.name != "..") out.push_back(e.name);
    }
    return out;
  }
  StepFiles Fetched() {
    StepFiles files(env_, dir_);
    files.Open(targets_.front());
    // As the fetch writes them: a new name (novo.dll) in its place at once.
    for (size_t i = 0; i < targets_.size(); ++i) {
      const std::unique_ptr<WritableFile> f = files.Output(i, targets_[i])->Create();
      f->Write("new", 3);
      f->Close();
    }
    return files;
  }

  Env& env_ = *DefaultEnv();
  std::string dir_;
  std::vector<std::string> targets_;
};

TEST_F(WinStepFilesTest, AllFilesArePutInPlaceTogether) {
  targets_ = {dir_ + "VendraECF.exe", dir_ + "rtl260.bpl", dir_ + "novo.dll"};
  Fetched().Commit(targets_);
  for (const char* name : {"VendraECF.exe", "rtl260.bpl", "novo.dll", "leiame.txt"}) {
    EXPECT_EQ(Read(name), std::string(name) == "leiame.txt" ? "old" : "new") << name;
  }
  EXPECT_EQ(Names(), (std::vector<std::string>{"leiame.txt", "novo.dll", "rtl260.bpl", "VendraECF.exe"}));
}

// A program holding the last target open (the point-of-sale program's data
// file, say) fails the step: the text names the file, every target is old
// again, the new one is gone and no temporary is left.
TEST_F(WinStepFilesTest, ATargetHeldByAProgramLeavesEveryTargetOld) {
  targets_ = {dir_ + "VendraECF.exe", dir_ + "novo.dll", dir_ + "leiame.txt"};
  StepFiles files = Fetched();
  HANDLE held = ::CreateFileW(Wide(dir_ + "leiame.txt").c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  std::string text;
  try {
    files.Commit(targets_);
  } catch (const EFCreateError& e) {
    text = e.what();
  }
  const std::vector<std::string> holders = env_.ProgramsHoldingFile(dir_ + "leiame.txt");
  ::CloseHandle(held);
  ASSERT_FALSE(text.empty()) << "the step went through";
  EXPECT_NE(text.find("\"" + dir_ + "leiame.txt\""), std::string::npos) << text;
  if (holders.empty()) {
    // This system's Restart Manager names no holder: the file layer's text.
    EXPECT_TRUE(text.starts_with("Cannot create file \"" + dir_ + "leiame.txt\". ")) << text;
  } else {
    EXPECT_TRUE(text.starts_with("Não foi possível substituir o arquivo \"" + dir_ + "leiame.txt\": ele está em uso por ")) << text;
  }
  for (const char* name : {"VendraECF.exe", "rtl260.bpl", "leiame.txt"}) EXPECT_EQ(Read(name), "old") << name;
  EXPECT_EQ(Names(), (std::vector<std::string>{"leiame.txt", "rtl260.bpl", "VendraECF.exe"}));
}

}  // namespace
}  // namespace selvane
