#include "install/container.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <filesystem>
#include <fstream>

#include "install/test_root.h"

namespace selvane {
namespace {

struct Entry {
  std::string name;
  std::string data;
};

void PutInt32(std::string& out, int32_t v) {
  auto u = static_cast<uint32_t>(v);
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((u >> (8 * i)) & 0xFF));
}

// The inflated content of a container.
std::string ContainerBody(const std::vector<Entry>& entries, bool last_end_byte = true) {
  std::string body;
  PutInt32(body, static_cast<int32_t>(entries.size()));
  for (size_t i = 0; i < entries.size(); ++i) {
    PutInt32(body, static_cast<int32_t>(entries[i].name.size()));
    body += entries[i].name;
    PutInt32(body, static_cast<int32_t>(entries[i].data.size()));
    body += entries[i].data;
    if (last_end_byte || i + 1 < entries.size()) body.push_back('\0');
  }
  return body;
}

std::string Deflate(const std::string& raw) {
  uLongf size = compressBound(raw.size());
  std::string out(size, '\0');
  EXPECT_EQ(compress2(reinterpret_cast<Bytef*>(out.data()), &size,
                      reinterpret_cast<const Bytef*>(raw.data()), raw.size(), 6),
            Z_OK);
  out.resize(size);
  return out;
}

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
  struct Case {
    const char* what;
    std::vector<Entry> entries;
    bool last_end_byte;
    std::string expected;
  };
  const std::string big(300 * 1024 + 7, 'x');
  const std::vector<Case> cases = {
      {"one entry", {{"arquivo", "abc"}}, true, "abc"},
      {"two entries: the second wins", {{"a", "first"}, {"b", "second"}}, true, "second"},
      {"last end byte missing", {{"arquivo", "abc"}}, false, "abc"},
      {"empty data gives an empty file", {{"arquivo", ""}}, true, ""},
      {"empty name", {{"", "abc"}}, true, "abc"},
      {"data larger than the copy blocks", {{"big", big}}, true, big},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    root_.Write(kTarget, "old content");
    Unpack(Deflate(ContainerBody(c.entries, c.last_end_byte)));
    EXPECT_EQ(root_.Read(kTarget), c.expected);
    EXPECT_FALSE(root_.env().FileExists(UnpackTempPath(kTarget)));
    // The container stays for the caller to delete.
    EXPECT_TRUE(root_.env().FileExists(kZip));
  }
}

TEST_F(DescomprimirTest, NoEntryLeavesTheTargetAlone) {
  for (int32_t count : {0, -1, INT32_MIN}) {
    SCOPED_TRACE(count);
    std::string body;
    PutInt32(body, count);
    Unpack(Deflate(body));
    EXPECT_FALSE(root_.env().FileExists(kTarget));
    root_.Write(kTarget, "kept");
    Unpack(Deflate(body));
    EXPECT_EQ(root_.Read(kTarget), "kept");
    std::filesystem::remove(root_.HostPath(kTarget));
  }
}

TEST_F(DescomprimirTest, BadContainersFailAndKeepTheOldTarget) {
  const std::string good = Deflate(ContainerBody({{"arquivo", std::string(5000, 'z')}}));
  std::string negative_name;
  PutInt32(negative_name, 1);
  PutInt32(negative_name, -5);
  std::string negative_data;
  PutInt32(negative_data, 1);
  PutInt32(negative_data, 0);
  PutInt32(negative_data, -1);
  std::string bad_checksum = good;
  bad_checksum.back() = static_cast<char>(bad_checksum.back() ^ 0x55);
  std::string damaged = good;
  damaged[2] = static_cast<char>(0xFF);
  damaged[3] = static_cast<char>(0xFF);

  struct Case {
    const char* what;
    std::string bytes;
    const char* message;
  };
  const std::vector<Case> cases = {
      {"empty file", "", "Stream read error"},
      {"cut inside the count", good.substr(0, 3), "Stream read error"},
      {"cut inside the data", good.substr(0, good.size() / 2), "Stream read error"},
      {"cut inside the trailer", good.substr(0, good.size() - 2), "Stream read error"},
      {"count promises a second entry", Deflate(ContainerBody({{"a", "b"}}).replace(0, 1, "\x02")),
       "Stream read error"},
      {"negative name length", Deflate(negative_name), "Invalid stream format"},
      {"negative data length", Deflate(negative_data), "Invalid stream format"},
      {"bad checksum", bad_checksum, "incorrect data check"},
      {"not zlib at all", "PK\x03\x04 this is a zip file", "incorrect header check"},
      {"damaged deflate data", damaged, nullptr},
  };
  for (const Case& c : cases) {
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
  root_.Write(kZip, Deflate(ContainerBody({{"a", "abc"}})));
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
  const std::string bytes = Deflate(ContainerBody({{"a", "abc"}}));
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
