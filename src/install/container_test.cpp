#include "install/container.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "install/test_root.h"
#include "protocol/container_test_util.h"

namespace selvane {
namespace {

using container_test::Body;
using container_test::Deflate;

constexpr const char* kZip = "C:\\Kavel\\ECF\\arquivo.zip";
constexpr const char* kTarget = "C:\\Kavel\\ECF\\arquivo.exe";

class DescomprimirTest : public ::testing::Test {
 protected:
  void SetUp() override { root_.MakeDir("C:\\Kavel\\ECF"); }

  void Unpack(const std::string& container_bytes) {
    root_.Write(kZip, container_bytes);
    Descomprimir(root_.env(), kZip, kTarget);
  }

  // After a failure the target keeps its old content and nothing else is left.
  void ExpectUntouched(const std::string& old) {
    EXPECT_EQ(root_.Read(kTarget), old);
    EXPECT_FALSE(root_.env().FileExists(UnpackTempPath(kTarget)));
  }

  TestRoot root_;
};

TEST_F(DescomprimirTest, WritesTheDataOfTheLastEntry) {
  // Every entry goes to the same target: the last one wins.
  for (const container_test::GoodCase& c : container_test::GoodCases()) {
    SCOPED_TRACE(c.what);
    root_.Write(kTarget, "old content");
    Unpack(Deflate(Body(c.entries, c.last_end_byte)));
    EXPECT_EQ(root_.Read(kTarget), c.entries.back().data);
    EXPECT_FALSE(root_.env().FileExists(UnpackTempPath(kTarget)));
    // The container stays for the caller to delete.
    EXPECT_TRUE(root_.env().FileExists(kZip));
  }
}

TEST_F(DescomprimirTest, NoEntryLeavesTheTargetAlone) {
  for (int32_t count : {0, -1, INT32_MIN}) {
    SCOPED_TRACE(count);
    const std::string body = container_test::Int32s({count});
    Unpack(Deflate(body));
    EXPECT_FALSE(root_.env().FileExists(kTarget));
    root_.Write(kTarget, "kept");
    Unpack(Deflate(body));
    EXPECT_EQ(root_.Read(kTarget), "kept");
    std::filesystem::remove(root_.HostPath(kTarget));
  }
}

TEST_F(DescomprimirTest, BadContainersFailAndKeepTheOldTarget) {
  for (const container_test::BadCase& c : container_test::BadCases()) {
    SCOPED_TRACE(c.what);
    root_.Write(kTarget, "old content");
    try {
      Unpack(c.bytes);
      ADD_FAILURE() << "no failure";
    } catch (const std::exception& e) {
      if (c.message != nullptr) {
        EXPECT_STREQ(e.what(), c.message);
      }
    }
    ExpectUntouched("old content");
  }
}

TEST_F(DescomprimirTest, FileLayerFailuresNameTheFiles) {
  // Missing container.
  try {
    Descomprimir(root_.env(), "C:\\Kavel\\ECF\\missing.zip", kTarget);
    ADD_FAILURE();
  } catch (const EFOpenError& e) {
    EXPECT_NE(std::string(e.what()).find("Cannot open file \"C:\\Kavel\\ECF\\missing.zip\""), std::string::npos)
        << e.what();
  }
  // Target folder missing: the message names the target, not the temporary file.
  root_.Write(kZip, Deflate(Body({{"a", "abc"}})));
  try {
    Descomprimir(root_.env(), kZip, "C:\\Kavel\\NFCE\\Schemas\\x.xsd");
    ADD_FAILURE();
  } catch (const EFCreateError& e) {
    EXPECT_NE(std::string(e.what()).find("Cannot create file \"C:\\Kavel\\NFCE\\Schemas\\x.xsd\""),
              std::string::npos)
        << e.what();
  }
}

TEST_F(DescomprimirTest, ContainerAndTargetOnTheSamePathFail) {
  const std::string bytes = Deflate(Body({{"a", "abc"}}));
  root_.Write(kZip, bytes);
  try {
    Descomprimir(root_.env(), kZip, "C:\\KAVEL\\ecf\\ARQUIVO.ZIP");
    ADD_FAILURE();
  } catch (const EFCreateError& e) {
    EXPECT_STREQ(e.what(),
                 "Cannot create file \"C:\\KAVEL\\ecf\\ARQUIVO.ZIP\". The process cannot access the file "
                 "because it is being used by another process.");
  }
  EXPECT_EQ(root_.Read(kZip), bytes);
}

}  // namespace
}  // namespace selvane
