#include "install/step_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <map>

#include "platform/env_wrapper.h"
#include "platform/system_error_text.h"
#include "testing/fault_injection_env.h"
#include "testing/memory_env.h"

namespace selvane {
namespace {

using Texts = std::vector<std::string>;
constexpr char kFolder[] = "C:\\Kavel\\ECF\\";
const std::string kTemp = std::string(kFolder) + StepFiles::kFolderName + "\\";

// A step of three files, one of them new to the folder and one named twice.
class StepFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    mem_.MakeDirs(kFolder);
    for (const char* name : {"VendraECF.exe", "rtl260.bpl"}) mem_.PutFile(kFolder + std::string(name), "old");
  }
  // Fetches the step's files as FetchFile would: each into what the step makes for it.
  StepFiles Fetched(Env& env) {
    StepFiles files(env, kFolder);
    files.Open(targets_.front());
    for (size_t i = 0; i < targets_.size(); ++i) Write(*files.Output(i, targets_[i]), "new " + std::to_string(i));
    return files;
  }
  static void Write(FetchOutput& output, const std::string& bytes) {
    const std::unique_ptr<WritableFile> file = output.Create();
    file->Write(bytes.data(), bytes.size());
    file->Close();
  }
  // The folder's files and their contents, temporaries included. Names in
  // capitals: a target named twice takes the spelling of its last rename.
  Texts Folder() const {
    Texts out;
    for (const std::string& f : mem_.Files()) {
      std::string upper = f;
      for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      out.push_back(upper + "=" + *mem_.Contents(f));
    }
    std::sort(out.begin(), out.end());
    return out;
  }

  const Texts old_ = {"C:\\KAVEL\\ECF\\RTL260.BPL=old", "C:\\KAVEL\\ECF\\VENDRAECF.EXE=old"};
  const Texts new_ = {"C:\\KAVEL\\ECF\\LEIAME.TXT=new 1", "C:\\KAVEL\\ECF\\RTL260.BPL=new 2",
                      "C:\\KAVEL\\ECF\\VENDRAECF.EXE=new 3"};
  const Texts targets_ = {"C:\\Kavel\\ECF\\VendraECF.exe", "C:\\Kavel\\ECF\\leiame.txt",
                          "C:\\Kavel\\ECF\\rtl260.bpl", "C:\\Kavel\\ECF\\VENDRAECF.EXE"};
  MemoryEnv mem_;
};

TEST_F(StepFilesTest, PutsEveryFileInPlaceAndLeavesNoTemporary) {
  Fetched(mem_).Commit(targets_);
  EXPECT_EQ(Folder(), new_);
  EXPECT_EQ(mem_.Folders(), (Texts{"C:\\Kavel", "C:\\Kavel\\ECF"}));
}

// Every rename of the commit fails in turn: the targets are all old again,
// the failure names the file being put in place with the system's reason, and
// nothing temporary is left.
TEST_F(StepFilesTest, ARenameFailingAtAnyIndexPutsEveryTargetBack) {
  FaultInjectionEnv faults(&mem_);
  faults.CountCalls();
  Fetched(faults).Commit(targets_);
  const size_t renames = faults.Calls(FaultInjectionEnv::Call::kMove);
  // Per file waiting as a temporary: a move to the name if it is free; where
  // it is taken, the old target aside and the new one in. The new file
  // (leiame.txt) was written in its place.
  ASSERT_EQ(renames, 9u);
  const Texts failing = {targets_[0], targets_[0], targets_[0], targets_[2], targets_[2],
                         targets_[2], targets_[3], targets_[3], targets_[3]};
  for (size_t index = 0; index < renames; ++index) {
    SCOPED_TRACE(index);
    SetUp();
    mem_.DeleteFile("C:\\Kavel\\ECF\\leiame.txt");
    StepFiles files = Fetched(faults);
    faults.FailCall(FaultInjectionEnv::Call::kMove, index);
    try {
      files.Commit(targets_);
      ADD_FAILURE() << "no failure";
    } catch (const EFCreateError& e) {
      EXPECT_EQ(std::string(e.what()), "Cannot create file \"" + failing[index] + "\". Access is denied.");
    }
    EXPECT_EQ(Folder(), old_);
    EXPECT_EQ(mem_.Folders(), (Texts{"C:\\Kavel", "C:\\Kavel\\ECF"}));
  }
}

TEST_F(StepFilesTest, ATargetHeldOpenFailsTheStepAndNamesTheFile) {
  StepFiles files = Fetched(mem_);
  auto held = mem_.OpenRead("C:\\Kavel\\ECF\\rtl260.bpl", ShareMode::kReadWrite);
  try {
    files.Commit(targets_);
    ADD_FAILURE() << "no failure";
  } catch (const EFCreateError& e) {
    // Moving it aside is refused as Windows refuses renaming a file held without
    // shared deletion.
    EXPECT_STREQ(e.what(),
                 "Cannot create file \"C:\\Kavel\\ECF\\rtl260.bpl\". The process cannot access the file because "
                 "it is being used by another process.");
  }
  held.reset();
  EXPECT_EQ(Folder(), old_);
}

// Where the system tells who holds the file, the failure says so in the
// program's language.
TEST(ReplaceFailureText, NamesTheProgramsHoldingTheFile) {
  class Holders : public EnvWrapper {
   public:
    using EnvWrapper::EnvWrapper;
    std::vector<std::string> ProgramsHoldingFile(const std::string&) override { return names; }
    std::vector<std::string> names;
  };
  MemoryEnv mem;
  Holders env(&mem);
  struct Case {
    std::vector<std::string> holders;
    const char* text;
  };
  for (const Case& c : std::initializer_list<Case>{
           {{}, "Cannot create file \"C:\\Kavel\\ECF\\VendraECF.exe\". Access is denied."},
           {{"Kavel Vendra ECF"},
            "Não foi possível substituir o arquivo \"C:\\Kavel\\ECF\\VendraECF.exe\": ele está em uso por Kavel "
            "Vendra ECF. Feche o programa e tente novamente. (Access is denied.)"},
           {{"Kavel Vendra ECF", "Serviço Kavel", "Bloco de Notas"},
            "Não foi possível substituir o arquivo \"C:\\Kavel\\ECF\\VendraECF.exe\": ele está em uso por Kavel "
            "Vendra ECF, Serviço Kavel e Bloco de Notas. Feche o programa e tente novamente. (Access is denied.)"},
       }) {
    env.names = c.holders;
    EXPECT_EQ(ReplaceFailureText(env, "C:\\Kavel\\ECF\\VendraECF.exe", kAccessDeniedText), c.text);
  }
}

// A run that ended in the middle of putting its files in place: an old target
// whose place is empty goes back, every other temporary goes, and so does the
// temporaries' folder, before the folder is listed again. Of a target moved
// aside twice (named twice in the step) the first old content goes back,
// whatever order the folders list in, as Windows emulations list in no order.
TEST_F(StepFilesTest, LeftoversOfAnInterruptedRunAreCleared) {
  class ListsBackwards : public EnvWrapper {
   public:
    using EnvWrapper::EnvWrapper;
    std::vector<DirEntry> FindFiles(const std::string& pattern) override {
      std::vector<DirEntry> found = EnvWrapper::FindFiles(pattern);
      std::reverse(found.begin(), found.end());
      return found;
    }
  };
  ListsBackwards backwards(&mem_);
  for (Env* env : {static_cast<Env*>(&mem_), static_cast<Env*>(&backwards)}) {
    SCOPED_TRACE(env == &mem_ ? "listed in order" : "listed backwards");
    SetUp();
    mem_.PutFile(kTemp + "g00000\\o00000000-VendraECF.exe", "old exe");  // moved aside, new one not yet in
    mem_.PutFile(kTemp + "g00000\\o00000001-rtl260.bpl", "older bpl");   // its new one already in place
    mem_.PutFile(kTemp + "g00000\\n00000002", "new 2");
    mem_.PutFile(kTemp + "g00000\\o00000003-..", "not a name");
    mem_.PutFile(kTemp + "g00000\\o00000010-leiame.txt", "old leiame");
    mem_.PutFile(kTemp + "g00001\\o00000070-LEIAME.TXT", "first new leiame");
    mem_.PutFile(kTemp + "o00000004-outro.txt", "an earlier layout's");
    mem_.PutFile(kTemp + "c-leiame.txt.zip", "container");
    mem_.DeleteFile("C:\\Kavel\\ECF\\VendraECF.exe");
    StepFiles::RemoveLeftovers(*env, kFolder);
    EXPECT_EQ(Folder(), (Texts{"C:\\KAVEL\\ECF\\LEIAME.TXT=old leiame", "C:\\KAVEL\\ECF\\OUTRO.TXT=an earlier layout's",
                               "C:\\KAVEL\\ECF\\RTL260.BPL=old", "C:\\KAVEL\\ECF\\VENDRAECF.EXE=old exe"}));
    EXPECT_EQ(mem_.Folders(), (Texts{"C:\\Kavel", "C:\\Kavel\\ECF"}));
    for (const std::string& f : mem_.Files()) mem_.DeleteFile(f);
  }
}

// Temporaries wait in folders of a bounded size however many files a step has,
// and none of those folders outlives the step.
TEST_F(StepFilesTest, TemporariesWaitInSmallFolders) {
  const size_t count = 3 * StepFiles::kGroupSize + 1;
  std::vector<std::string> targets;
  for (size_t i = 0; i < count; ++i) {
    targets.push_back(kFolder + ("f" + std::to_string(i) + ".txt"));
    mem_.PutFile(targets.back(), "old");
  }
  StepFiles files(mem_, kFolder);
  files.Open(targets.front());
  for (size_t i = 0; i < count; ++i) Write(*files.Output(i, targets[i]), "new " + std::to_string(i));
  std::map<std::string, size_t> per_folder;
  for (const std::string& f : mem_.Files()) {
    if (f.starts_with(kTemp)) ++per_folder[f.substr(0, f.rfind('\\'))];
  }
  EXPECT_EQ(per_folder.size(), 4u);
  for (const auto& [folder, n] : per_folder) EXPECT_LE(n, StepFiles::kGroupSize) << folder;
  files.Commit(targets);
  EXPECT_EQ(mem_.Files().size(), count + 2);  // and the fixture's two
  EXPECT_EQ(*mem_.Contents(targets.back()), "new " + std::to_string(count - 1));
  EXPECT_EQ(mem_.Folders(), (Texts{"C:\\Kavel", "C:\\Kavel\\ECF"}));
}

// A group's folder that cannot be made fails the step as its first file would.
TEST_F(StepFilesTest, AGroupFolderThatCannotBeMadeNamesItsFile) {
  FaultInjectionEnv faults(&mem_);
  StepFiles files(faults, kFolder);
  files.Open(targets_.front());
  faults.fail_create_directory = true;
  try {
    files.Output(0, targets_[0])->Create();
    ADD_FAILURE() << "no failure";
  } catch (const EFCreateError& e) {
    EXPECT_STREQ(e.what(), "Cannot create file \"C:\\Kavel\\ECF\\VendraECF.exe\". Access is denied.");
  }
}

TEST_F(StepFilesTest, AMissingFolderFailsAsItsFirstFileWould) {
  StepFiles files(mem_, "C:\\Kavel\\NFCE\\Schemas\\");
  try {
    files.Open("C:\\Kavel\\NFCE\\Schemas\\a.xsd");
    ADD_FAILURE() << "no failure";
  } catch (const EFCreateError& e) {
    EXPECT_STREQ(e.what(),
                 "Cannot create file \"C:\\Kavel\\NFCE\\Schemas\\a.xsd\". The system cannot find the path specified.");
  }
}

// A name the folder does not hold is written in its place at once, noted in
// the list of new files; the list goes with the commit, and the file stays.
TEST_F(StepFilesTest, ANewFileIsWrittenInItsPlaceAndStays) {
  StepFiles files = Fetched(mem_);
  EXPECT_EQ(*mem_.Contents(targets_[1]), "new 1");
  EXPECT_EQ(files.ContentPath(1), targets_[1]);
  EXPECT_TRUE(files.ContentPath(0).starts_with(kTemp));
  EXPECT_EQ(*mem_.Contents(kTemp + StepFiles::kNewFilesName), "+leiame.txt\n");
  files.Commit(targets_);
  EXPECT_EQ(Folder(), new_);
  EXPECT_EQ(mem_.Folders(), (Texts{"C:\\Kavel", "C:\\Kavel\\ECF"}));
}

// A step that fails before its commit takes its new files with it.
TEST_F(StepFilesTest, AStepDiscardedLeavesNoNewFile) {
  StepFiles files = Fetched(mem_);
  files.Discard();
  EXPECT_EQ(Folder(), old_);
  EXPECT_EQ(mem_.Folders(), (Texts{"C:\\Kavel", "C:\\Kavel\\ECF"}));
}

// Names whose letter case not every file system folds alike, and names that
// could be another file's short alias, wait as temporaries; so does every
// file once the list cannot be written, and a name someone else took after
// the folder was read (the list then takes it back).
TEST_F(StepFilesTest, ANameNotSurelyFreeWaitsAsATemporary) {
  struct Case {
    const char* name;
    bool list_fails;
    bool taken_meanwhile;
    const char* listed;
  };
  for (const Case& c : std::initializer_list<Case>{
           {"a\xC3\xA7\xC3\xA3o.txt", false, false, nullptr},
           {"LEIAME~1.TXT", false, false, nullptr},
           {"leiame.txt", true, false, nullptr},
           {"leiame.txt", false, true, "+leiame.txt\n-leiame.txt\n"},
       }) {
    SCOPED_TRACE(c.name);
    SetUp();
    FaultInjectionEnv faults(&mem_);
    if (c.list_fails) faults.FailCreate(StepFiles::kNewFilesName);
    const std::string target = kFolder + std::string(c.name);
    StepFiles files(faults, kFolder);
    files.Open(target);
    if (c.taken_meanwhile) mem_.PutFile(target, "someone else's");
    Write(*files.Output(0, target), "new");
    EXPECT_TRUE(files.ContentPath(0).starts_with(kTemp)) << files.ContentPath(0);
    const std::optional<std::string> listed = mem_.Contents(kTemp + StepFiles::kNewFilesName);
    EXPECT_EQ(listed.value_or(""), c.listed ? c.listed : "");
    files.Commit({target});
    EXPECT_EQ(*mem_.Contents(target), "new");
    EXPECT_EQ(mem_.Folders(), (Texts{"C:\\Kavel", "C:\\Kavel\\ECF"}));
    for (const std::string& f : mem_.Files()) mem_.DeleteFile(f);
  }
}

// An interrupted run's new files go, once every old target is back: the
// names the list gives and does not take back, never a line cut short or one
// that is not a plain name, and never an old file put back in a new file's
// place.
TEST_F(StepFilesTest, NewFilesOfAnInterruptedRunAreRemoved) {
  mem_.PutFile(kFolder + std::string("novo.txt"), "new");
  mem_.PutFile(kFolder + std::string("leiame.txt"), "second new leiame");
  mem_.PutFile(kFolder + std::string("outro.txt"), "someone else's");
  mem_.PutFile(kFolder + std::string("cortado.txt"), "someone else's too");
  mem_.PutFile("C:\\Kavel\\fora.txt", "outside the folder");
  mem_.PutFile(kTemp + "g00000\\o00000003-leiame.txt", "first new leiame");  // moved aside by the same step
  mem_.PutFile(kTemp + StepFiles::kNewFilesName,
               "+novo.txt\n+leiame.txt\n+outro.txt\n-outro.txt\n+..\\fora.txt\n+nunca.txt\n+cortado.txt");
  EXPECT_EQ(StepFiles::RemoveLeftovers(mem_, kFolder), std::nullopt);
  EXPECT_EQ(Folder(), (Texts{"C:\\KAVEL\\ECF\\CORTADO.TXT=someone else's too", "C:\\KAVEL\\ECF\\OUTRO.TXT=someone else's",
                             "C:\\KAVEL\\ECF\\RTL260.BPL=old", "C:\\KAVEL\\ECF\\VENDRAECF.EXE=old",
                             "C:\\KAVEL\\FORA.TXT=outside the folder"}));
  EXPECT_EQ(mem_.Folders(), (Texts{"C:\\Kavel", "C:\\Kavel\\ECF"}));
}

// A new file that will not go is reported, and its list stays for the next run.
TEST_F(StepFilesTest, ANewFileThatWillNotGoIsReportedAndStaysListed) {
  mem_.PutFile(kFolder + std::string("novo.txt"), "new");
  mem_.PutFile(kTemp + StepFiles::kNewFilesName, "+novo.txt\n");
  {
    auto held = mem_.OpenRead(kFolder + std::string("novo.txt"), ShareMode::kReadWrite);
    EXPECT_EQ(StepFiles::RemoveLeftovers(mem_, kFolder), kFolder + std::string("novo.txt"));
  }
  EXPECT_TRUE(mem_.Contents(kTemp + StepFiles::kNewFilesName).has_value());
  EXPECT_EQ(StepFiles::RemoveLeftovers(mem_, kFolder), std::nullopt);
  EXPECT_EQ(Folder(), old_);
  // So is a list that will not go, unless it names nothing.
  const std::string list = kTemp + StepFiles::kNewFilesName;
  for (const std::string listed : {"+novo.txt\n", ""}) {
    SCOPED_TRACE(listed);
    mem_.PutFile(list, listed);
    {
      auto held = mem_.OpenRead(list, ShareMode::kReadWrite);
      EXPECT_EQ(StepFiles::RemoveLeftovers(mem_, kFolder), listed.empty() ? std::nullopt : std::optional(list));
    }
    EXPECT_EQ(StepFiles::RemoveLeftovers(mem_, kFolder), std::nullopt);
    EXPECT_EQ(Folder(), old_);
    EXPECT_EQ(mem_.Folders(), (Texts{"C:\\Kavel", "C:\\Kavel\\ECF"}));
  }
}

// Every file call of a step with new files fails in turn: creating, writing
// the list or the files, moving, deleting. Whatever fails, the folder ends
// all old or all new, and nothing of the step's own is left.
TEST_F(StepFilesTest, EachFileCallFailingInTurnLeavesTheFolderOldOrNew) {
  using Call = FaultInjectionEnv::Call;
  FaultInjectionEnv faults(&mem_);
  for (const Call kind : {Call::kCreate, Call::kWrite, Call::kMove, Call::kDelete}) {
    SetUp();
    faults.CountCalls();
    Fetched(faults).Commit(targets_);
    const size_t calls = faults.Calls(kind);
    for (size_t index = 0; index < calls; ++index) {
      SCOPED_TRACE(::testing::Message() << "call kind " << static_cast<int>(kind) << ", call " << index);
      for (const std::string& f : mem_.Files()) mem_.DeleteFile(f);
      SetUp();
      faults.FailCall(kind, index);
      try {
        Fetched(faults).Commit(targets_);
      } catch (const EFileError&) {
        // Steps that fail are discarded, as the synchronisation does.
        StepFiles(faults, kFolder).Discard();
      }
      faults.CountCalls();
      // What the system would not delete goes on the next run.
      EXPECT_EQ(StepFiles::RemoveLeftovers(faults, kFolder), std::nullopt);
      const Texts now = Folder();
      EXPECT_TRUE(now == old_ || now == new_) << ::testing::PrintToString(now);
      EXPECT_EQ(mem_.Folders(), (Texts{"C:\\Kavel", "C:\\Kavel\\ECF"}));
    }
  }
}

}  // namespace
}  // namespace selvane
