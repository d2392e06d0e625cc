#include "command_line.h"

#include <gtest/gtest.h>

namespace selvane::refserver {
namespace {

TEST(CommandLine, ReadsEveryOption) {
  const CommandLine cl = ParseCommandLine({"--root", "/srv/repo", "--port", "0", "--update-number", "300",
                                           "--full-paths", "--extra-entry", "..\\evil.exe", "--extra-entry", "x",
                                           "--same-name-container", "--truncate-container", "--drop-after-bytes",
                                           "100", "--part-size", "4096", "--blob-header", "--empty-last-part",
                                           "--cut-container", "17", "--cache-dir", "/var/cache/selvane",
                                          "--cut-after-bytes", "77", "--silent-at", "metadata",
                                           "--drop-in-file", "3", "--file-name-for", "relatório.txt=RELATÓRIO.TXT",
                                           "--file-name-for", "a=b=c", "--empty-container", "Selvane.exe", "--log-times"});
  const ServerOptions& o = cl.options;
  EXPECT_FALSE(cl.help);
  EXPECT_EQ(o.root, "/srv/repo");
  EXPECT_EQ(o.port, 0);
  EXPECT_EQ(o.NumeroAtualizacao, 300);
  EXPECT_TRUE(o.repository.full_paths);
  EXPECT_EQ(o.repository.extra_entries, (std::vector<std::string>{"..\\evil.exe", "x"}));
  EXPECT_TRUE(o.same_name_container);
  EXPECT_TRUE(o.truncate_container);
  EXPECT_EQ(o.drop_after_bytes, 100);
  EXPECT_EQ(o.part_size, 4096u);
  EXPECT_TRUE(o.blob_header);
  EXPECT_TRUE(o.empty_last_part);
  EXPECT_EQ(o.cut_container_at, 17);
  EXPECT_EQ(o.cache_dir, "/var/cache/selvane");
  EXPECT_EQ(o.cut_after_bytes, 77);
  EXPECT_EQ(o.silent_at, SilentPhase::kMetadata);
 EXPECT_EQ(o.drop_in_file, 3);
  EXPECT_EQ(o.file_name_for,
            (std::map<std::string, std::string>{{"relatório.txt", "RELATÓRIO.TXT"}, {"a", "b=c"}}));
  EXPECT_EQ(o.empty_container, std::set<std::string>{"Selvane.exe"});
  EXPECT_TRUE(o.log_times);
}

TEST(CommandLine, EverySilentPhaseHasItsName) {
  for (const char* name : {"handshake", "connect", "metadata", "prepare", "execute", "part"}) {
    SCOPED_TRACE(name);
    const std::optional<SilentPhase> phase = SilentPhaseNamed(name);
    ASSERT_TRUE(phase.has_value());
    EXPECT_EQ(ParseCommandLine({"--root", "r", "--silent-at", name}).options.silent_at, *phase);
  }
}

TEST(CommandLine, Defaults) {
  const ServerOptions o = ParseCommandLine({"--root", "r"}).options;
  EXPECT_EQ(o.port, 5975);
  EXPECT_EQ(o.NumeroAtualizacao, 1);
  EXPECT_EQ(o.drop_after_bytes, -1);
  EXPECT_EQ(o.cut_after_bytes, -1);
  EXPECT_EQ(o.silent_at, SilentPhase::kNever);
  EXPECT_EQ(o.drop_in_file, 0);  // every reply
  EXPECT_TRUE(o.file_name_for.empty());
  EXPECT_TRUE(o.empty_container.empty());
  EXPECT_FALSE(o.repository.full_paths);
  EXPECT_FALSE(o.empty_last_part);
  EXPECT_EQ(o.cut_container_at, -1);
  EXPECT_EQ(o.cache_dir, "");  // containers in memory
  EXPECT_FALSE(o.log_times);
  EXPECT_TRUE(ParseCommandLine({"--help"}).help);
}

TEST(CommandLine, RefusesBadLines) {
  const std::vector<std::vector<std::string>> bad{
      {},                                    // no root
      {"--root"},                            // no value
      {"--root", "r", "--port", "65536"},    // out of range
      {"--root", "r", "--port", "12x"},      //
      {"--root", "r", "--update-number", ""},
      {"--root", "r", "--part-size", "0"},
      {"--root", "r", "--cut-container", "x"},
      {"--root", "r", "--cache-dir"},
      {"--root", "r", "--verbose"},
      {"--root", "r", "--silent-at", "later"},
      {"--root", "r", "--cut-after-bytes", "x"},
      {"--root", "r", "--drop-in-file", "0"},
      {"--root", "r", "--file-name-for", "a"},
      {"--root", "r", "--file-name-for", "=b"},
      {"--root", "r", "--file-name-for", "a="},
      {"--root", "r", "--empty-container"},
  };
  for (const auto& args : bad) EXPECT_THROW(ParseCommandLine(args), std::invalid_argument);
}

}  // namespace
}  // namespace selvane::refserver
