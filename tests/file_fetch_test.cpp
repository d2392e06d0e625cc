// The streamed fetch of one file against the reference server, compared with
// the way a fetch works through a container on disk (the record gathered
// whole, its Content written beside the target and unpacked from there): in
// every server dialect the same bytes arrive, and a reply or container cut
// anywhere fails with the same text and leaves no file behind.

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "install/container.h"
#include "protocol/container_writer.h"
#include "install/file_fetch.h"
#include "install_fixture.h"
#include "protocol/packet_layouts.h"
#include "records/record_set.h"
#include "server/servidor_client.h"

namespace selvane {
namespace {

constexpr char kFolder[] = "C:\\Windows\\kvl\\";

// What a fetch came to: the target's bytes and the record's values, or the failure's text.
struct Result {
  std::string error;
  std::string target;
  std::string file_name;
  double file_date = 0;
  friend bool operator==(const Result&, const Result&) = default;
};

void PrintTo(const Result& r, std::ostream* os) {
  *os << "error '" << r.error << "', " << r.target.size() << " bytes, '" << r.file_name << "'";
}

// Each case runs with a file's content inflated on the receiving thread and
// with all of it inflated on a thread of its own, as a large file's is.
class FileFetchTest : public InstallFixture, public ::testing::WithParamInterface<size_t> {
 protected:
  FileFetchTest() {
    root_.MakeDir("C:\\Windows\\kvl");
    InflateInBackgroundFrom(GetParam());
  }
  ~FileFetchTest() override { InflateInBackgroundFrom(kInflateInBackgroundFrom); }

  std::string Target(const std::string& name) { return kFolder + name; }
  std::string ContainerOf(const std::string& file_name) { return kFolder + file_name; }

  // The fetch through a container file, as the updater did it before it streamed.
  Result ThroughContainer(const std::string& name) {
    Result r;
    const std::string target = Target(name);
    try {
      Open();
      TServidorClient proxy(conn_->DBXConnection());
      TRecordSet record(env());
      record.SetData(proxy.RetornaArquivo("KVL\\" + name, 1));
      const std::string container = ContainerOf(record.FieldByName(kFileRecordFileName).AsString());
      CheckContainerIsNotTarget(env(), container, target);
      try {
        record.FieldByName(kFileRecordContent).SaveToFile([&] { return env().Create(container, ShareMode::kExclusive); });
        Descomprimir(env(), container, target);
      } catch (...) {
        env().DeleteFile(container);
        throw;
      }
      env().DeleteFile(container);
      r.file_name = record.FieldByName(kFileRecordFileName).AsString();
      r.file_date = record.FieldByName(kFileRecordFileDate).AsDateTime();
    } catch (const std::exception& e) {
      r.error = e.what();
    }
    r.target = root_.Read(target);
    conn_.reset();
    return r;
  }

  Result Streamed(const std::string& name) {
    Result r;
    const std::string target = Target(name);
    const std::string temp = UnpackTempPath(target);
    try {
      Open();
      TServidorClient proxy(conn_->DBXConnection());
      const FetchedFile f = FetchFile(
          env(), proxy, "KVL\\" + name, 1, [&](const std::string& file_name) { return ContainerOf(file_name); }, temp, target);
      if (f.entries > 0 && !env().MoveFileReplace(temp, target)) throw std::runtime_error("rename failed");
      r.file_name = f.file_name;
      r.file_date = f.file_date;
    } catch (const std::exception& e) {
      r.error = e.what();
    }
    r.target = root_.Read(target);
    conn_.reset();
    return r;
  }

  // Both ways from the same state; neither leaves a container or temporary behind.
  std::pair<Result, Result> Both(const std::string& name) {
    root_.Write(Target(name), "old");
    const Result old_way = ThroughContainer(name);
    root_.Write(Target(name), "old");
    const Result new_way = Streamed(name);
    for (const std::string& f : ClientFiles()) {
      EXPECT_TRUE(f.find(".zip") == std::string::npos && f.find(".~novo") == std::string::npos) << f;
    }
    return {old_way, new_way};
  }

  void Restart() {
    conn_.reset();
    if (server_) server_->Stop();
    StartServer();
  }
};

std::string Mixed(size_t size, uint32_t seed) {
  // Runs of text and of noise, so that it compresses to about half.
  std::string s(size, '\0');
  uint32_t x = seed;
  for (size_t i = 0; i < size; ++i) {
    x = x * 1103515245u + 12345u;
    s[i] = (i / 512) % 2 == 0 ? static_cast<char>('a' + (i * 7) % 26) : static_cast<char>(x >> 24);
  }
  return s;
}

struct Dialect {
  const char* what;
  uint32_t part_size;
  bool blob_header;
  bool empty_last_part;
};
constexpr Dialect kDialects[] = {
    {"results inline and in large parts", 1000000, false, false},
    {"small parts", 4096, false, false},
    {"blob header", 4096, true, false},
    {"empty last part", 4096, false, true},
    {"blob header and empty last part", 777, true, true},
};

TEST_P(FileFetchTest, EveryDialectFetchesByteIdenticalFiles) {
  const std::vector<std::pair<std::string, std::string>> files = {
      {"empty.txt", ""}, {"small.ini", "[a]\r\nb=1\r\n"}, {"mixed.bin", Mixed(300000, 1)}, {"exact.bin", Mixed(65536, 2)}};
  for (const auto& [name, content] : files) repo_.Add("KVL/" + name, content, refserver::kTime2);
  for (const Dialect& d : kDialects) {
    SCOPED_TRACE(d.what);
    options_.part_size = d.part_size;
    options_.blob_header = d.blob_header;
    options_.empty_last_part = d.empty_last_part;
    Restart();
    for (const auto& [name, content] : files) {
      SCOPED_TRACE(name);
      const auto [old_way, new_way] = Both(name);
      EXPECT_EQ(new_way, old_way);
      EXPECT_EQ(new_way.error, "");
      EXPECT_TRUE(new_way.target == content);
      EXPECT_EQ(new_way.file_date, RepoTime(refserver::kTime2));
    }
  }
}

// The server closes the connection after N bytes of the reply: all through
// its start, around the end of every part, across the parts, and all through
// its last bytes (the zlib trailer, the FileDate and the closing brackets).
TEST_P(FileFetchTest, AReplyCutAnywhereFailsAsBeforeAndLeavesNoFile) {
  // Beyond the 65,535 bytes of the first part, so that several parts follow it.
  const std::string content = Mixed(200000, 3);
  repo_.Add("KVL/cut.bin", content, refserver::kTime2);
  options_.part_size = 16384;
  Restart();
  root_.Write(Target("cut.bin"), "old");
  // The reply's length, from a whole fetch.
  int64_t reply = 0;
  {
    Open();
    TServidorClient proxy(conn_->DBXConnection());
    const OleVariant v = proxy.RetornaArquivo("KVL\\cut.bin", 1);
    reply = static_cast<int64_t>(v.bytes().size());
    conn_.reset();
  }
  std::set<int64_t> cuts;
  for (int64_t i = 0; i < 40; ++i) cuts.insert(i);
  // Around the end of the first part and of each later one (a part's reply adds a few dozen bytes).
  for (int64_t part = 65535; part < reply + 16384; part += 16384 + 40) {
    for (int64_t d = -40; d <= 40; d += 8) cuts.insert(part + d);
  }
  for (int64_t i = reply - 60; i < reply + 60; ++i) cuts.insert(i);
  for (int64_t i = 0; i < reply; i += 1499) cuts.insert(i);
  for (const int64_t cut : cuts) {
    if (cut < 0) continue;
    SCOPED_TRACE(cut);
    server_->StartOver(-1, cut);
    const auto [old_way, new_way] = Both("cut.bin");
    EXPECT_EQ(new_way, old_way);
    EXPECT_TRUE(new_way.target == "old" || new_way.target == content);
  }
}

// The container itself cut short at every byte: the record arrives whole, the
// unpacking fails with the text of unpacking it from disk.
TEST_P(FileFetchTest, AContainerCutAnywhereFailsAsBeforeAndLeavesNoFile) {
  const std::string content = Mixed(400, 4);
  repo_.Add("KVL/c.bin", content, refserver::kTime2);
  options_.part_size = 512;
  Restart();
  const Bytes whole = MakeContainer("c.bin", Bytes(content.begin(), content.end()));
  for (int64_t cut = 0; cut <= static_cast<int64_t>(whole.size()); ++cut) {
    SCOPED_TRACE(cut);
    options_.cut_container_at = cut;
    Restart();
    const auto [old_way, new_way] = Both("c.bin");
    EXPECT_EQ(new_way, old_way);
    EXPECT_EQ(new_way.target, cut == static_cast<int64_t>(whole.size()) ? content : "old");
  }
}

TEST_P(FileFetchTest, ServerFaultsEndAsBefore) {
  repo_.Add("KVL/a.dat", Mixed(100000, 5), refserver::kTime2);
  struct Case {
    const char* what;
    bool same_name;
    bool truncate;
  };
  for (const Case& c : {Case{"same name", true, false}, Case{"truncated", false, true}}) {
    SCOPED_TRACE(c.what);
    options_.same_name_container = c.same_name;
    options_.truncate_container = c.truncate;
    Restart();
    const auto [old_way, new_way] = Both("a.dat");
    EXPECT_EQ(new_way, old_way);
    EXPECT_NE(new_way.error, "");
    EXPECT_EQ(new_way.target, "old");
  }
}

INSTANTIATE_TEST_SUITE_P(Inflating, FileFetchTest, ::testing::Values(kInflateInBackgroundFrom, size_t{0}),
                         [](const ::testing::TestParamInfo<size_t>& param) {
                           return param.param == 0 ? std::string("OnAThreadOfItsOwn") : std::string("AsItArrives");
                         });

}  // namespace
}  // namespace selvane
