// One folder synchronisation against the reference server, and its failures:
// whatever goes wrong, each target holds its old content or its new one.

#include <gtest/gtest.h>

#include "install/folder_sync.h"
#include "install/windows_names.h"
#include "install/progress_text.h"
#include "install_fixture.h"
#include "platform/system_error_text.h"
#include "testing/fault_injection_env.h"

namespace selvane {
namespace {

using refserver::kTime1;
using refserver::kTime2;
using Texts = std::vector<std::string>;

class SyncTest : public InstallFixture {
 protected:
  // Runs one synchronisation of C:\Windows\kvl\ on a fresh connection.
  void Sync(std::string_view method, std::optional<std::string_view> prefix, const std::string& folder) {
    SyncWith(env(), method, prefix, folder);
  }
  void SyncWith(Env& env, std::string_view method, std::optional<std::string_view> prefix,
                const std::string& folder) {
    window_ = std::make_unique<RecordingWindow>("ECF");
    SincronizaPasta(env, Open().DBXConnection(), *window_, 1, {method, folder, prefix, false});
  }

  // Old client files, newer ones on the server; b.dat is large and does not
  // compress, so a reply can be cut inside it while a.dat arrives whole.
  void ThreeChangedFiles() {
    root_.MakeDir("C:\\Windows\\kvl");
    std::string big(200 * 1024, '\0');
    uint32_t x = 12345;
    for (char& c : big) {
      x = x * 1103515245u + 12345u;
      c = static_cast<char>(x >> 24);
    }
    new_ = {{"a.dat", "new a"}, {"b.dat", big}, {"c.dat", "new c"}};
    for (const auto& [name, content] : new_) {
      root_.Write("C:\\Windows\\kvl\\" + name, "old " + name);
      repo_.Add("KVL/" + name, content, kTime2);
    }
  }

  // Each target old or new, never partial; no container or temporary file left.
  // Returns how many are new.
  int ExpectEachOldOrNew() {
    int fresh = 0;
    for (const auto& [name, content] : new_) {
      const std::string now = root_.Read("C:\\Windows\\kvl\\" + name);
      EXPECT_TRUE(now == "old " + name || now == content) << name << " holds " << now.size() << " bytes";
      fresh += now == content ? 1 : 0;
    }
    EXPECT_EQ(ClientFiles(), (std::vector<std::string>{"Windows/kvl/a.dat", "Windows/kvl/b.dat", "Windows/kvl/c.dat"}));
    return fresh;
  }

  std::vector<std::pair<std::string, std::string>> new_;
};

TEST_F(SyncTest, ThreeFilesOnAnUpdateShowTheirPercentages) {
  ThreeChangedFiles();
  StartServer();
  Sync("AtualizaPastaKVL", kUpdatingPrefix, "C:\\Windows\\kvl\\");
  EXPECT_EQ(window_->StatusTexts(), (Texts{"Atualizando... 33% Concluído.", "Atualizando... 67% Concluído.",
                                           "Atualizando... 100% Concluído."}));
  EXPECT_EQ(ExpectEachOldOrNew(), 3);
  EXPECT_EQ(ClientTime("C:\\Windows\\kvl\\c.dat"), RepoTime(kTime2));
}

TEST_F(SyncTest, MissingFolderFailsOnTheFirstContainer) {
  repo_.Add("NFCE/Schemas/a.xsd", "<a/>");
  StartServer();
  try {
    Sync("AtualizaPastaSchemasNFCE", std::nullopt, "C:\\Kavel\\NFCE\\Schemas\\");
    ADD_FAILURE();
  } catch (const EFCreateError& e) {
    EXPECT_NE(std::string(e.what()).find("Cannot create file \"C:\\Kavel\\NFCE\\Schemas\\a.xsd.zip\""),
              std::string::npos)
        << e.what();
  }
  EXPECT_TRUE(ClientFiles().empty());
}

TEST_F(SyncTest, SameNameContainerFailsAndKeepsTheTarget) {
  options_.same_name_container = true;
  ThreeChangedFiles();
  StartServer();
  try {
    Sync("AtualizaPastaKVL", std::nullopt, "C:\\Windows\\kvl\\");
    ADD_FAILURE();
  } catch (const EFCreateError& e) {
    EXPECT_STREQ(e.what(),
                 "Cannot create file \"C:\\Windows\\kvl\\a.dat\". The process cannot access the file because it is "
                 "being used by another process.");
  }
  EXPECT_EQ(root_.Read("C:\\Windows\\kvl\\a.dat"), "old a.dat");
  ExpectEachOldOrNew();
}

TEST_F(SyncTest, TruncatedContainerFailsAndKeepsTheTarget) {
  options_.truncate_container = true;
  ThreeChangedFiles();
  // a.dat is current, so the first container is the large b.dat, cut inside its data.
  root_.Write("C:\\Windows\\kvl\\a.dat", "new a");
  ASSERT_TRUE(DefineDataHoraArq(env(), "C:\\Windows\\kvl\\a.dat", RepoTime(kTime2)));
  StartServer();
  try {
    Sync("AtualizaPastaKVL", std::nullopt, "C:\\Windows\\kvl\\");
    ADD_FAILURE();
  } catch (const std::exception& e) {
    EXPECT_STREQ(e.what(), "Stream read error");
  }
  EXPECT_EQ(root_.Read("C:\\Windows\\kvl\\b.dat"), "old b.dat");
  EXPECT_EQ(ExpectEachOldOrNew(), 1);
}

TEST_F(SyncTest, ServerDroppingInsideAFileLeavesEachTargetOldOrNew) {
  ThreeChangedFiles();
  struct Case {
    int64_t drop_after;
    int fresh;  // files that arrived before the cut
  };
  // Inside the first reply; inside the large second one, at its start, middle and end.
  for (const Case& c : std::initializer_list<Case>{{10, 0}, {2000, 1}, {100000, 1}, {200000, 1}}) {
    SCOPED_TRACE(c.drop_after);
    options_.drop_after_bytes = c.drop_after;
    for (const auto& [name, content] : new_) root_.Write("C:\\Windows\\kvl\\" + name, "old " + name);
    StartServer();
    EXPECT_THROW(Sync("AtualizaPastaKVL", std::nullopt, "C:\\Windows\\kvl\\"), std::exception);
    EXPECT_EQ(ExpectEachOldOrNew(), c.fresh);
    conn_.reset();
    server_->Stop();
  }
}

TEST_F(SyncTest, HostileNamesFailBeforeAnythingIsWritten) {
  const std::vector<std::string> hostile = {"..",          "KVL\\..",          ".",           "KVL\\",
                                            "a/../../evil", "..\\..\\Kavel\\..", "KVL\\CON",    "KVL\\nul.txt",
                                            "KVL\\x?.exe",  "KVL\\a<b",          "KVL\\trail.", "KVL\\COM1.dat"};
  for (const std::string& name : hostile) {
    SCOPED_TRACE(name);
    options_.repository.extra_entries = {name};
    root_.MakeDir("C:\\Windows\\kvl");
    StartServer();
    try {
      Sync("AtualizaPastaKVL", std::nullopt, "C:\\Windows\\kvl\\");
      ADD_FAILURE();
    } catch (const EInvalidFileName& e) {
      EXPECT_EQ(std::string(e.what()), "Nome de arquivo inválido recebido do servidor: \"" + name + "\"");
    }
    EXPECT_TRUE(ClientFiles().empty());
    conn_.reset();
    server_->Stop();
  }
}

// Every create, write, rename and time stamp of a synchronisation fails in
// turn, one call per run. A failing create, write or rename ends the run with
// the file layer's own text; a failing time stamp is not reported and the run
// goes on. Whatever failed, each target holds its old content or its new one,
// and no container or temporary file is left behind.
TEST_F(SyncTest, EachFileCallFailingInTurnLeavesEachTargetOldOrNew) {
  using Call = FaultInjectionEnv::Call;
  ThreeChangedFiles();
  StartServer();
  FaultInjectionEnv faults(&env());
  const std::string kvl = "C:\\Windows\\kvl\\";
  auto run = [&]() -> std::string {
    for (const auto& [name, content] : new_) root_.Write(kvl + name, "old " + name);
    try {
      SyncWith(faults, "AtualizaPastaKVL", std::nullopt, kvl);
    } catch (const std::exception& e) {
      return e.what();
    }
    return "";
  };
  for (const Call kind : FaultInjectionEnv::kCalls) {
    faults.CountCalls();
    ASSERT_EQ(run(), "");
    const size_t calls = faults.Calls(kind);
    ASSERT_GT(calls, 0u);
    int fresh_before = 0;
    for (size_t index = 0; index < calls; ++index) {
      SCOPED_TRACE(::testing::Message() << "call kind " << static_cast<int>(kind) << ", call " << index);
      faults.FailCall(kind, index);
      const std::string error = run();
      const int fresh = ExpectEachOldOrNew();
      switch (kind) {
        case Call::kCreate: {
          // Each file creates only its temporary, whose failure reads as its container's.
          const std::string& name = new_[index].first;
          EXPECT_EQ(error, CreateErrorMessage(kvl + name + ".zip", kAccessDeniedText));
          EXPECT_EQ(fresh, static_cast<int>(index));
          break;
        }
        case Call::kWrite:
          EXPECT_EQ(error, FaultInjectionEnv::kDiskFullText);
          EXPECT_GE(fresh, fresh_before);  // later writes belong to later files
          EXPECT_LT(fresh, 3);
          break;
        case Call::kMove:
          EXPECT_EQ(error, "Cannot create file \"" + kvl + new_[index].first + "\".");
          EXPECT_EQ(fresh, static_cast<int>(index));
          break;
        case Call::kSetTime:
          EXPECT_EQ(error, "");
          EXPECT_EQ(fresh, 3);
          for (size_t i = 0; i < new_.size(); ++i) {
            const bool stamped = ClientTime(kvl + new_[i].first) == RepoTime(kTime2);
            EXPECT_EQ(stamped, i != index) << new_[i].first;
          }
          break;
      }
      fresh_before = fresh;
    }
  }
}

}  // namespace
}  // namespace selvane
