// One folder synchronisation against the reference server, and its failures:
// all or nothing, whatever goes wrong every target of the step keeps its old
// content, and nothing temporary is left.

#include <gtest/gtest.h>

#include "install/folder_sync.h"
#include "install/windows_names.h"
#include "install/progress_text.h"
#include "install_fixture.h"
#include "platform/system_error_text.h"
#include "testing/fault_injection_env.h"
#include "testing/noise.h"

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
  // With `new_names`, those of them are not in the client's folder yet.
  void ThreeChangedFiles(const std::vector<std::string>& new_names = {}) {
    root_.MakeDir("C:\\Windows\\kvl");
    new_ = {{"a.dat", "new a"}, {"b.dat", Noise(200 * 1024, 12345)}, {"c.dat", "new c"}};
    missing_ = new_names;
    PutOldFiles();
    for (const auto& [name, content] : new_) repo_.Add("KVL/" + name, content, kTime2);
  }
  void PutOldFiles() {
    for (const auto& [name, content] : new_) {
      const std::string path = "C:\\Windows\\kvl\\" + name;
      if (IsNew(name)) {
        env().DeleteFile(path);
      } else {
        root_.Write(path, "old " + name);
      }
    }
  }
  bool IsNew(const std::string& name) const { return std::ranges::find(missing_, name) != missing_.end(); }

  // Each target old (or missing, if it was) or new, never partial; no
  // container or temporary file left. Returns how many are new.
  int ExpectEachOldOrNew() {
    EXPECT_FALSE(env().DirectoryExists("C:\\Windows\\kvl\\~Selvane.tmp\\"));
    int fresh = 0;
    std::vector<std::string> present;
    for (const auto& [name, content] : new_) {
      const std::string path = "C:\\Windows\\kvl\\" + name;
      const std::optional<std::string> now =
          env().FileExists(path) ? std::optional<std::string>(root_.Read(path)) : std::nullopt;
      const std::optional<std::string> old = IsNew(name) ? std::nullopt : std::optional<std::string>("old " + name);
      EXPECT_TRUE(now == old || now == content) << name << " holds " << now.value_or("nothing").size() << " bytes";
      fresh += now == content ? 1 : 0;
      if (now) present.push_back("Windows/kvl/" + name);
    }
    EXPECT_EQ(ClientFiles(), present);
    return fresh;
  }

  std::vector<std::pair<std::string, std::string>> new_;
  std::vector<std::string> missing_;
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

TEST_F(SyncTest, MissingFolderFailsOnTheFirstFile) {
  repo_.Add("NFCE/Schemas/a.xsd", "<a/>");
  StartServer();
  try {
    Sync("AtualizaPastaSchemasNFCE", std::nullopt, "C:\\Kavel\\NFCE\\Schemas\\");
    ADD_FAILURE();
  } catch (const EFCreateError& e) {
    EXPECT_STREQ(e.what(),
                 "Cannot create file \"C:\\Kavel\\NFCE\\Schemas\\a.xsd\". The system cannot find the path specified.");
  }
  EXPECT_TRUE(ClientFiles().empty());
}

// The container waits among the step's temporaries, so a server naming it as
// its own target (in any spelling) cannot write over the target.
TEST_F(SyncTest, AContainerNamedAsItsTargetCannotReachIt) {
  options_.same_name_container = true;
  ThreeChangedFiles();
  StartServer();
  Sync("AtualizaPastaKVL", std::nullopt, "C:\\Windows\\kvl\\");
  EXPECT_EQ(ExpectEachOldOrNew(), 3);
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

TEST_F(SyncTest, ServerDroppingInsideTheStepLeavesEveryTargetOld) {
  for (const std::vector<std::string>& new_names : {std::vector<std::string>{}, {"a.dat", "b.dat"}}) {
    SCOPED_TRACE(new_names.empty() ? "over old files" : "with new files");
    ThreeChangedFiles(new_names);
    // Inside the first reply; inside the large second one, at its start, middle
    // and end, when the first file has arrived whole; then the rerun completes.
    for (const int64_t drop_after : {10, 2000, 100000, 200000}) {
      SCOPED_TRACE(drop_after);
      options_.drop_after_bytes = drop_after;
      PutOldFiles();
      StartServer();
      EXPECT_THROW(Sync("AtualizaPastaKVL", std::nullopt, "C:\\Windows\\kvl\\"), std::exception);
      EXPECT_EQ(ExpectEachOldOrNew(), 0);
      conn_.reset();
      server_->Stop();
    }
    options_.drop_after_bytes = -1;
    StartServer();
    Sync("AtualizaPastaKVL", std::nullopt, "C:\\Windows\\kvl\\");
    EXPECT_EQ(ExpectEachOldOrNew(), 3);
    conn_.reset();
    server_->Stop();
  }
}

// A file is written while the next one arrives: when writing it fails, that
// failure is the step's, even when the next reply then fails too, and the step
// leaves nothing of either.
TEST_F(SyncTest, AFileFailingWhileTheNextArrivesIsTheStepsFailure) {
  struct Case {
    const char* what;
    bool cannot_create;  // else the disk is full
    int64_t drop_after;  // the server drops inside b.dat's reply, or never
  };
  const Case cases[] = {
      {"cannot create, next reply whole", true, -1},
      {"cannot create, next reply cut", true, 100000},
      {"disk full, next reply whole", false, -1},
      {"disk full, next reply cut", false, 100000},
  };
  const std::string kvl = "C:\\Windows\\kvl\\";
  ThreeChangedFiles({"a.dat", "b.dat", "c.dat"});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    PutOldFiles();
    options_.drop_after_bytes = c.drop_after;
    StartServer();
    FaultInjectionEnv faults(&env());
    if (c.cannot_create) {
      faults.FailCreate("a.dat");
    } else {
      faults.LimitWrittenBytes(2);
    }
    try {
      SyncWith(faults, "AtualizaPastaKVL", std::nullopt, kvl);
      ADD_FAILURE();
    } catch (const std::exception& e) {
      EXPECT_EQ(std::string(e.what()), c.cannot_create ? "Cannot create file \"" + kvl + "a.dat\". Access is denied."
                                                       : std::string(FaultInjectionEnv::kDiskFullText));
    }
    EXPECT_EQ(ExpectEachOldOrNew(), 0);
    conn_.reset();
    server_->Stop();
  }
}

TEST_F(SyncTest, HostileNamesFailBeforeAnythingIsWritten) {
  const std::vector<std::string> hostile = {"..",          "KVL\\..",          ".",           "KVL\\",
                                            "a/../../evil", "..\\..\\Kavel\\..", "KVL\\CON",    "KVL\\nul.txt",
                                            "KVL\\x?.exe",  "KVL\\a<b",          "KVL\\COM1.dat", "KVL\\COM\xC2\xB9",
                                            "KVL\\lpt\xC2\xB2.txt", "KVL\\COM0", "KVL\\CONIN$", "KVL\\CLOCK$ ."};
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

// A name cut by a server column that ends in blanks and dots is taken as
// Windows takes it when it creates the file. (A string value's own trailing
// blanks do not survive the data packet; blanks before a dot do.)
TEST_F(SyncTest, NamesWithTrailingBlanksAndDotsAreNormalised) {
  options_.repository.extra_entries = {"KVL\\relatorio de vendas .", "KVL\\leiame. ."};
  root_.MakeDir("C:\\Windows\\kvl");
  StartServer();
  Sync("AtualizaPastaKVL", std::nullopt, "C:\\Windows\\kvl\\");
  EXPECT_EQ(ClientFiles(), (std::vector<std::string>{"Windows/kvl/leiame", "Windows/kvl/relatorio de vendas"}));
  EXPECT_EQ(root_.Read("C:\\Windows\\kvl\\leiame"), "extra entry\r\n");
}

// Every create, write, rename, time stamp and delete of a synchronisation
// fails in turn, one call per run. A failing create, write or rename ends the
// run with the file layer's own text naming the target, and every target of
// the step is old; a failing time stamp or delete is not reported, and every
// target is new. Nothing temporary is left, or, where the system would not
// delete it, the next run removes it.
// Every create, write, rename, time stamp and delete of a synchronisation
// fails in turn, one call per run, over files the folder holds and with new
// files among them. A failing create, write or rename ends the run with the
// file layer's own text naming the target, and every target of the step is
// old; a failing time stamp or delete is not reported, and every target is
// new. Nothing temporary is left, or, where the system would not delete it,
// the next run removes it. Calls that only note the step's new files may
// fail unreported: the step then still ends all new.
TEST_F(SyncTest, EachFileCallFailingInTurnLeavesTheStepOldOrNewAsAWhole) {
  using Call = FaultInjectionEnv::Call;
  for (const std::vector<std::string>& new_names : {std::vector<std::string>{}, {"b.dat", "c.dat"}}) {
    SCOPED_TRACE(new_names.empty() ? "over old files" : "with new files");
    ThreeChangedFiles(new_names);
    StartServer();
    FaultInjectionEnv faults(&env());
    const std::string kvl = "C:\\Windows\\kvl\\";
    auto run = [&](Env& with) -> std::string {
      try {
        SyncWith(with, "AtualizaPastaKVL", std::nullopt, kvl);
      } catch (const std::exception& e) {
        return e.what();
      }
      return "";
    };
    for (const Call kind : FaultInjectionEnv::kCalls) {
      PutOldFiles();
      faults.CountCalls();
      ASSERT_EQ(run(faults), "");
      const size_t calls = faults.Calls(kind);
      ASSERT_GT(calls, 0u);
      for (size_t index = 0; index < calls; ++index) {
        SCOPED_TRACE(::testing::Message() << "call kind " << static_cast<int>(kind) << ", call " << index);
        PutOldFiles();
        faults.FailCall(kind, index);
        const std::string error = run(faults);
        if (kind == Call::kDelete) {
          // What the system would not delete goes on the next run.
          EXPECT_EQ(error, "");
          faults.CountCalls();
          PutOldFiles();
          EXPECT_EQ(run(faults), "");
        }
        const int fresh = ExpectEachOldOrNew();
        if (error.empty() && kind != Call::kSetTime && kind != Call::kDelete) {
          EXPECT_FALSE(new_names.empty()) << "only noting new files may fail unreported";
          EXPECT_EQ(fresh, 3);
          continue;
        }
        switch (kind) {
          case Call::kCreate:
          case Call::kMove: {
            const bool named =
                error.starts_with("Cannot create file \"" + kvl) && error.ends_with(".dat\". Access is denied.");
            EXPECT_TRUE(named) << error;
            EXPECT_EQ(fresh, 0);
            break;
          }
          case Call::kWrite:
            EXPECT_EQ(error, FaultInjectionEnv::kDiskFullText);
            EXPECT_EQ(fresh, 0);
            break;
          case Call::kSetTime: {
            EXPECT_EQ(error, "");
            EXPECT_EQ(fresh, 3);
            int stamped = 0;
            for (const auto& [name, content] : new_) stamped += ClientTime(kvl + name) == RepoTime(kTime2) ? 1 : 0;
            EXPECT_EQ(stamped, 2);
            break;
          }
          case Call::kDelete:
            EXPECT_EQ(fresh, 3);
            break;
        }
      }
    }
    conn_.reset();
    server_->Stop();
  }
}

}  // namespace
}  // namespace selvane
