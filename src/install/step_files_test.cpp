#include "install/step_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>

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
      mem_.PutFile(files.TemporaryPath(i), "new " + std::to_string(i));
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
  ASSERT_EQ(renames, 7u);  // three old targets aside, four temporaries in
  // The target each rename touches: old aside and new in, per file in turn.
  const Texts failing = {targets_[0], targets_[0], targets_[1], targets_[2], targets_[2], targets_[3], targets_[3]};
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
// temporaries' folder, before the folder is listed again.
TEST_F(StepFilesTest, LeftoversOfAnInterruptedRunAreCleared) {
  mem_.PutFile(kTemp + "o00000000-VendraECF.exe", "old exe");  // moved aside, new one not yet in
  mem_.PutFile(kTemp + "o00000001-rtl260.bpl", "older bpl");   // its new one already in place
  mem_.PutFile(kTemp + "n00000002", "new 2");
  mem_.PutFile(kTemp + "c-leiame.txt.zip", "container");
  mem_.PutFile(kTemp + "o00000003-..", "not a name");
  mem_.DeleteFile("C:\\Kavel\\ECF\\VendraECF.exe");
  StepFiles::RemoveLeftovers(mem_, kFolder);
  EXPECT_EQ(Folder(), (Texts{"C:\\KAVEL\\ECF\\RTL260.BPL=old", "C:\\KAVEL\\ECF\\VENDRAECF.EXE=old exe"}));
  EXPECT_EQ(mem_.Folders(), (Texts{"C:\\Kavel", "C:\\Kavel\\ECF"}));
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
