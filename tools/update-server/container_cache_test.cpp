// The served file records around cached containers: the same bytes as a
// record built whole for each request, one compression per file version, and
// a cache folder that a restarted server reads instead of compressing again.

#include "container_cache.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>

#include "protocol/container_reader.h"
#include "protocol/container_writer.h"
#include "protocol/packet_layouts.h"
#include "protocol/server_paths.h"
#include "records/record_set.h"
#include "rpc/variant_stream.h"
#include "test_repository.h"
#include "testing/memory_file.h"
#include "testing/scratch_dir.h"
#include "update_service.h"

namespace selvane::refserver {
namespace {

std::string Data(size_t size) {
  std::string s(size, '\0');
  uint32_t x = 99;
  for (size_t i = 0; i < size; ++i) {
    x = x * 1103515245u + 12345u;
    s[i] = i % 3 == 0 ? static_cast<char>(x >> 24) : 'k';
  }
  return s;
}

// The variant stream a server answering without a cache sends.
Bytes Whole(Env& env, const std::string& record_name, const std::string& file_name, const std::string& data,
            double when, int64_t keep) {
  Bytes container = MakeContainer(file_name, Bytes(data.begin(), data.end()));
  if (keep >= 0 && static_cast<size_t>(keep) < container.size()) container.resize(static_cast<size_t>(keep));
  return VariantToStream(FileRecordPacket(env, record_name, std::move(container), when));
}

TEST(ContainerCache, ServedRecordsAreTheBytesOfRecordsBuiltWhole) {
  struct Case {
    const char* what;
    size_t size;
    bool same_name;
    bool truncate;
    int64_t cut;
  };
  const Case cases[] = {
      {"one byte", 1, false, false, -1},
      {"a text", 5000, false, false, -1},
      {"beyond one inline part", 200000, false, false, -1},
      {"same name", 5000, true, false, -1},
      {"truncated", 200000, false, true, -1},
      {"cut after 10 bytes", 5000, false, false, 10},
      {"cut to nothing", 5000, false, false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TestRepository repo;
    const std::string data = Data(c.size);
    repo.Add("ECF/Vendra.exe", data);
    ServerOptions o;
    o.root = repo.dir();
    o.same_name_container = c.same_name;
    o.truncate_container = c.truncate;
    o.cut_container_at = c.cut;
    UpdateService service(repo.env(), o);
    const Bytes served = service.ServeArquivo("ECF\\Vendra.exe", 1).Gather();
    const size_t full = MakeContainer("Vendra.exe", Bytes(data.begin(), data.end())).size();
    const int64_t keep = c.truncate ? static_cast<int64_t>(full / 2) : c.cut;
    const Bytes whole = Whole(repo.env(), c.same_name ? "Vendra.exe" : "Vendra.exe.zip", "Vendra.exe", data,
                              DateTimeFromDosDateTime(kTime1), keep);
    EXPECT_TRUE(served == whole) << served.size() << " bytes served, " << whole.size() << " expected";
  }
}

// The record's FileName and its container's entry count, as a client reads them.
struct ReadRecord {
  std::string file_name;
  int32_t entries;
};
ReadRecord Read(Env& env, const Bytes& served) {
  TRecordSet record(env);
  record.SetData(StreamToVariant(served));
  const auto content = record.FieldByName(kFileRecordContent).AsBytes();
  const int32_t entries = ReadContainer(content, [] { return std::make_unique<MemorySink>(); });
  return {record.FieldByName(kFileRecordFileName).AsString(), entries};
}

TEST(ContainerCache, FaultsNameTheRecordOtherwiseOrEmptyTheContainer) {
  struct Case {
    const char* what;
    std::map<std::string, std::string> file_name_for;
    std::set<std::string> empty_container;
    std::string_view file;
    ReadRecord expected;
  };
  const Case cases[] = {
      {"no fault", {}, {}, "ECF\\relatório.txt", {"relatório.txt.zip", 1}},
      {"the target in other case", {{"relatório.txt", "RELATÓRIO.TXT"}}, {}, "ECF\\relatório.txt",
       {"RELATÓRIO.TXT", 1}},
      {"a short name", {{"Vendra.exe", "VENDRA~1.EXE"}}, {}, "ECF\\Vendra.exe", {"VENDRA~1.EXE", 1}},
      {"another file keeps its name", {{"Vendra.exe", "VENDRA~1.EXE"}}, {}, "ECF\\relatório.txt",
       {"relatório.txt.zip", 1}},
      {"no entry", {}, {"Selvane.exe"}, kServerUpdaterPath, {"Selvane.exe.zip", 0}},
      {"no entry, other file", {}, {"Selvane.exe"}, "ECF\\Vendra.exe", {"Vendra.exe.zip", 1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TestRepository repo;
    repo.Add("ECF/relatório.txt", Data(300));
    repo.Add("ECF/Vendra.exe", Data(200000));
    repo.Add("updater/Selvane.exe", Data(70000));
    ServerOptions o;
    o.root = repo.dir();
    o.file_name_for = c.file_name_for;
    o.empty_container = c.empty_container;
    UpdateService service(repo.env(), o);
    const ReadRecord got = Read(repo.env(), service.ServeArquivo(c.file, 1).Gather());
    EXPECT_EQ(got.file_name, c.expected.file_name);
    EXPECT_EQ(got.entries, c.expected.entries);
  }
}

TEST(ContainerCache, OneCompressionPerFileVersion) {
  TestRepository repo;
  repo.Add("KVL/a.dll", Data(3000));
  repo.Add("KVL/b.dll", Data(4000));
  ServerOptions o;
  o.root = repo.dir();
  UpdateService service(repo.env(), o);
  for (int i = 0; i < 3; ++i) {
    service.ServeArquivo("KVL\\a.dll", 1);
    service.ServeArquivo("KVL\\b.dll", 1);
  }
  EXPECT_EQ(service.cache().made(), 2u);

  // A new version (other size and time) is compressed again and served as it now is.
  repo.Add("KVL/a.dll", Data(3500), kTime2);
  const Bytes served = service.ServeArquivo("KVL\\a.dll", 1).Gather();
  EXPECT_EQ(service.cache().made(), 3u);
  EXPECT_TRUE(served == Whole(repo.env(), "a.dll.zip", "a.dll", Data(3500), DateTimeFromDosDateTime(kTime2), -1));
}

TEST(ContainerCache, ACacheFolderSparesARestartTheCompression) {
  TestRepository repo;
  repo.Add("MEI/a.bin", Data(70000));
  repo.Add("updater/Selvane.exe", Data(100));
  ScratchDir cache("selvane-cache");
  ServerOptions o;
  o.root = repo.dir();
  o.cache_dir = cache.path();
  Bytes first;
  {
    UpdateService service(repo.env(), o);
    service.MakeAllContainers();
    EXPECT_EQ(service.cache().made(), 2u);
    first = service.ServeArquivo("MEI\\a.bin", 1).Gather();
  }
  UpdateService restarted(repo.env(), o);
  restarted.MakeAllContainers();
  EXPECT_EQ(restarted.cache().made(), 0u);
  EXPECT_TRUE(restarted.ServeArquivo("MEI\\a.bin", 1).Gather() == first);
}

TEST(ContainerCache, MadeAheadAtStartAndWhenAFileChanges) {
  TestRepository repo;
  repo.Add("ECF/a.bin", Data(1000));
  repo.Add("NFCE/Schemas/b.xsd", Data(500));
  ServerOptions o;
  o.root = repo.dir();
  o.cache_rescan_ms = 5;
  UpdateService service(repo.env(), o);
  service.StartAhead();
  service.cache().WaitForPasses(1);
  EXPECT_EQ(service.cache().made(), 2u);
  service.ServeArquivo("ECF\\a.bin", 1);
  service.ServeArquivo("NFCE\\Schemas\\b.xsd", 1);
  EXPECT_EQ(service.cache().made(), 2u);  // requests find them made

  repo.Add("ECF/a.bin", Data(1200), kTime2);
  // The pass under way may have looked before the change; the one after it has not.
  // Writing the file and stamping it are two changes, which a pass may see apart.
  service.cache().WaitForPasses(service.cache().passes() + 2);
  const size_t made = service.cache().made();
  EXPECT_GE(made, 3u);
  EXPECT_LE(made, 4u);
  service.ServeArquivo("ECF\\a.bin", 1);
  EXPECT_EQ(service.cache().made(), made);
  service.StopAhead();
}

}  // namespace
}  // namespace selvane::refserver
