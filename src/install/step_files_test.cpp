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
  // Fetches the step's files as temporaries of `files`.
  StepFiles Fetched(Env& env) {
    StepFiles files(env, kFolder);
    files.Open(targets_.front());
    for (size_t i = 0; i < targets_.size(); ++i) {
      mem_.PutFile(files.NewTemporary(i, targets_[i]), "new " + std::to_string(i));
      files.Fetched(i);
    }
    return files;
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
  // Per file in turn: a move to the name if it is free; where it is taken, the
  // old target aside and the new one in.
  ASSERT_EQ(renames, 10u);
  const Texts failing = {targets_[0], targets_[0], targets_[0], targets_[1], targets_[2],
                         targets_[2], targets_[2], targets_[3], targets_[3], targets_[3]};
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
  StepFiles files(mem_, kFolder);
  files.Open(kFolder + std::string("f0.txt"));
  std::vector<std::string> targets;
  for (size_t i = 0; i < count; ++i) {
    targets.push_back(kFolder + ("f" + std::to_string(i) + ".txt"));
    mem_.PutFile(files.NewTemporary(i, targets.back()), "new " + std::to_string(i));
    files.Fetched(i);
  }
  std::map<std::string, size_t> per_folder;
  for (const std::string& f : mem_.Files()) ++per_folder[f.substr(0, f.rfind('\\'))];
  EXPECT_EQ(per_folder.size(), 4u + 1u);  // the four groups and the step's folder
  for (const auto& [folder, n] : per_folder) EXPECT_LE(n, StepFiles::kGroupSize) << folder;
  files.Commit(targets);
  EXPECT_EQ(mem_.Files().size(), count + 2);
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
    files.NewTemporary(0, targets_[1]);
    ADD_FAILURE() << "no failure";
  } catch (const EFCreateError& e) {
    EXPECT_STREQ(e.what(), "Cannot create file \"C:\\Kavel\\ECF\\leiame.txt\". Access is denied.");
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

}  // namespace
}  // namespace selvane
