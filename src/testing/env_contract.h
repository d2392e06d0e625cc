#pragma once
// Cases every Env implementation must pass alike: included by one test file of
// each test program, which instantiates the suite with its Env and a scratch
// folder (a Windows path ending in a backslash).
//
//   INSTANTIATE_TEST_SUITE_P(Posix, EnvContract, ::testing::Values(&MakeMyEnv));

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <set>
#include <vector>
#include <string>

#include "base/dos_time.h"
#include "platform/env.h"
#include "testing/file_error_text.h"

namespace selvane {

struct ContractSubject {
  Env* env = nullptr;
  std::string scratch;  // "C:\...\", created by the fixture
  // The system's own texts for these errors (FormatMessage's on Windows).
  std::string file_not_found;
  std::string path_not_found;
  std::string access_denied;
  std::string sharing_violation;
  // False under Wine, which (run by root) writes through read-only files and
  // lets a new file replace a hidden or system one, where Windows refuses.
  bool strict_attributes = true;
};
using ContractFactory = ContractSubject (*)();

class EnvContract : public ::testing::TestWithParam<ContractFactory> {
 protected:
  void SetUp() override {
    subject_ = GetParam()();
    env_ = subject_.env;
    // A fresh folder per test: Env removes no folders, and a scratch folder
    // may survive from an earlier run (a Wine prefix does).
    env_->CreateDirectory(subject_.scratch);
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string base = subject_.scratch + info->name();
    base = base.substr(0, base.find('/'));
    for (int i = 0;; ++i) {
      dir_ = base + "-" + std::to_string(i) + "\\";
      if (env_->CreateDirectory(dir_)) break;
      ASSERT_LT(i, 10000) << "cannot create a scratch folder below " << subject_.scratch;
    }
  }
  void TearDown() override { Empty(dir_); }

  void Empty(const std::string& dir) {
    for (const DirEntry& e : env_->FindFiles(dir + "*.*")) {
      if (e.name == "." || e.name == "..") continue;
      if (e.attributes & kAttrDirectory) {
        Empty(dir + e.name + "\\");
        continue;  // no folder removal in Env; folders stay and are emptied
      }
      env_->SetAttributes(dir + e.name, kAttrNormal);
      env_->DeleteFile(dir + e.name);
    }
  }

  void Put(const std::string& name, const std::string& data) {
    auto f = env_->Create(dir_ + name, ShareMode::kExclusive);
    f->Write(data.data(), data.size());
    f->Close();
  }
  std::string Get(const std::string& name) {
    auto f = env_->OpenRead(dir_ + name, ShareMode::kReadWrite);
    std::string data;
    char buf[256];
    while (size_t n = f->Read(buf, sizeof buf)) data.append(buf, n);
    return data;
  }
  static double At(int y, int mo, int d, int h, int mi, int s, int ms) {
    return *DateTimeFromCivil({y, mo, d, h, mi, s, ms});
  }

  ContractSubject subject_;
  Env* env_ = nullptr;
  std::string dir_;
};

// A stamp and the time it reads back as (DOS times have even seconds).
struct StampCase {
  double stamp;
  double expected;
};
inline std::vector<StampCase> StampCases() {
  const auto at = [](int y, int mo, int d, int h, int mi, int s, int ms) {
    return *DateTimeFromCivil({y, mo, d, h, mi, s, ms});
  };
  return {{at(2021, 3, 15, 10, 20, 31, 900), at(2021, 3, 15, 10, 20, 30, 0)},
          {at(2021, 7, 15, 23, 59, 59, 999), at(2021, 7, 15, 23, 59, 58, 0)},
          {at(1980, 1, 1, 0, 0, 1, 0), at(1980, 1, 1, 0, 0, 0, 0)},
          {at(2107, 12, 31, 12, 0, 0, 0), at(2107, 12, 31, 12, 0, 0, 0)}};
}

TEST_P(EnvContract, StampedTimesReadBackAtEvenSecondsInLocalTime) {
  Put("t.txt", "x");
  for (const StampCase& c : StampCases()) {
    const auto dos = DosDateTimeFromDateTime(c.stamp);
    ASSERT_TRUE(dos.has_value());
    ASSERT_TRUE(env_->SetLastWriteDos(dir_ + "t.txt", *dos));
    const auto back = env_->GetLastWriteDos(dir_ + "t.txt");
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(DateTimeFromDosDateTime(*back), c.expected);
  }
}

TEST_P(EnvContract, AStampOnTheOpenFileAfterItsLastWriteOutlivesTheClose) {
  for (const StampCase& c : StampCases()) {
    auto f = env_->Create(dir_ + "h.txt", ShareMode::kExclusive);
    f->Write("abc", 3);
    ASSERT_TRUE(f->SetLastWriteDos(*DosDateTimeFromDateTime(c.stamp)));
    // Words that name no date are refused and leave the stamp as it was.
    EXPECT_FALSE(f->SetLastWriteDos(DosDateTime{0, 0}));
    f->Close();
    EXPECT_FALSE(f->SetLastWriteDos(*DosDateTimeFromDateTime(c.stamp)));  // a closed file has no handle
    const auto back = env_->GetLastWriteDos(dir_ + "h.txt");
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(DateTimeFromDosDateTime(*back), c.expected);
    EXPECT_EQ(Get("h.txt"), "abc");
  }
}

TEST_P(EnvContract, TimesOutsideTheDosRangeAreRefusedAndLeaveTheFileAlone) {
  Put("t.txt", "x");
  const auto start = DosDateTimeFromDateTime(At(2020, 5, 4, 8, 0, 0, 0));
  ASSERT_TRUE(env_->SetLastWriteDos(dir_ + "t.txt", *start));
  for (const double when : {At(1979, 12, 31, 23, 59, 58, 0), At(2108, 1, 1, 0, 0, 0, 0)})
    EXPECT_FALSE(DosDateTimeFromDateTime(when).has_value());
  // Words that name no date (day 0 of month 0) cannot be set either.
  EXPECT_FALSE(env_->SetLastWriteDos(dir_ + "t.txt", DosDateTime{0, 0}));
  EXPECT_FALSE(env_->SetLastWriteDos(dir_ + "missing.txt", *start));
  EXPECT_EQ(env_->GetLastWriteDos(dir_ + "t.txt"), start);
}

TEST_P(EnvContract, ListingFilterKeepsOrdinaryAndReadOnlyFilesOnly) {
  for (const char* n : {"plain.txt", "readonly.txt", "hidden.txt", "system.txt"}) Put(n, "x");
  ASSERT_TRUE(env_->SetAttributes(dir_ + "readonly.txt", kAttrReadOnly));
  ASSERT_TRUE(env_->SetAttributes(dir_ + "hidden.txt", kAttrHidden | kAttrArchive));
  ASSERT_TRUE(env_->SetAttributes(dir_ + "system.txt", kAttrSystem));
  ASSERT_TRUE(env_->CreateDirectory(dir_ + "sub"));

  std::set<std::string> all, listed;
  for (const DirEntry& e : env_->FindFiles(dir_ + "*.*")) {
    all.insert(e.name);
    if (IsListedFile(e.attributes)) listed.insert(e.name);
  }
  EXPECT_EQ(all, (std::set<std::string>{".", "..", "plain.txt", "readonly.txt", "hidden.txt",
                                        "system.txt", "sub"}));
  EXPECT_EQ(listed, (std::set<std::string>{"plain.txt", "readonly.txt"}));
  EXPECT_EQ(env_->GetAttributes(dir_ + "sub").value_or(0) & kAttrDirectory, kAttrDirectory);
  // A folder made hidden the way the kvl folder is (18: hidden plus directory).
  EXPECT_TRUE(env_->SetAttributes(dir_ + "sub", kAttrHidden | kAttrDirectory));
  EXPECT_EQ(env_->GetAttributes(dir_ + "sub"), kAttrHidden | kAttrDirectory);
  EXPECT_TRUE(env_->DirectoryExists(dir_ + "sub\\"));
  EXPECT_TRUE(env_->FindFiles(dir_ + "nowhere\\*.*").empty());
  std::set<std::string> txt;
  for (const DirEntry& e : env_->FindFiles(dir_ + "*.TXT")) txt.insert(e.name);
  EXPECT_EQ(txt, (std::set<std::string>{"plain.txt", "readonly.txt", "hidden.txt", "system.txt"}));
  env_->SetAttributes(dir_ + "readonly.txt", kAttrNormal);
}

TEST_P(EnvContract, ProfileStringsFallBackThenReadWhatWasWritten) {
  const std::string ini = dir_ + "selvane.ini";
  EXPECT_EQ(env_->GetProfileString(ini, "redelocal", "local", "nao"), "nao");
  EXPECT_EQ(env_->GetProfileString(ini, "redelocal", "local", "nao  "), "nao");  // blanks dropped
  ASSERT_TRUE(env_->WriteProfileString(ini, "redelocal", "local", "sim"));
  EXPECT_TRUE(env_->FileExists(ini));
  EXPECT_EQ(env_->GetProfileString(ini, "REDELOCAL", "Local", "nao"), "sim");
  EXPECT_EQ(env_->GetProfileString(ini, "redelocal", "other", "dflt"), "dflt");
  EXPECT_EQ(env_->GetProfileString(ini, "outra", "local", "dflt"), "dflt");

  ASSERT_TRUE(env_->WriteProfileString(ini, "outra", "chave", "relatório"));
  ASSERT_TRUE(env_->WriteProfileString(ini, "redelocal", "local", "nao"));
  EXPECT_EQ(env_->GetProfileString(ini, "redelocal", "local", ""), "nao");
  EXPECT_EQ(env_->GetProfileString(ini, "outra", "chave", ""), "relatório");
  EXPECT_FALSE(env_->WriteProfileString(dir_ + "nowhere\\selvane.ini", "redelocal", "local", "nao"));
}

TEST_P(EnvContract, CodePageRoundTripAndMissingCharacters) {
  EXPECT_EQ(env_->ToAnsi("relatório.txt"), "relat\xF3rio.txt");
  EXPECT_EQ(env_->FromAnsi("relat\xF3rio.txt"), "relatório.txt");
  EXPECT_EQ(env_->ToAnsi("ж"), "?");
  EXPECT_EQ(env_->ToAnsi("a€b"), "a\x80" "b");
  EXPECT_EQ(env_->FromAnsi("\x80"), "€");
}

TEST_P(EnvContract, ExclusiveOpenKeepsOtherOpenersOut) {
  Put("held.bin", "data");
  const std::string path = dir_ + "held.bin";
  const std::string& sharing = subject_.sharing_violation;
  {
    auto held = env_->OpenRead(path, ShareMode::kExclusive);
    EXPECT_EQ(FileErrorText([&] { env_->OpenRead(path, ShareMode::kReadWrite); }),
              "Cannot open file \"" + path + "\". " + sharing);
    EXPECT_EQ(FileErrorText([&] { env_->Create(path, ShareMode::kExclusive); }),
              "Cannot create file \"" + path + "\". " + sharing);
    EXPECT_FALSE(env_->SetLastWriteDos(path, *DosDateTimeFromDateTime(At(2020, 1, 1, 0, 0, 0, 0))));
    EXPECT_FALSE(env_->DeleteFile(path));
  }
  {
    auto a = env_->OpenRead(path, ShareMode::kReadWrite);
    auto b = env_->OpenRead(path, ShareMode::kReadWrite);  // shared opens coexist
    EXPECT_NE(FileErrorText([&] { env_->OpenRead(path, ShareMode::kExclusive); }), kNoFileError);
    // No handle shares deletion: the file can be neither deleted nor replaced.
    Put("other.bin", "other");
    EXPECT_FALSE(env_->DeleteFile(path));
    EXPECT_FALSE(env_->MoveFileReplace(dir_ + "other.bin", path));
    EXPECT_FALSE(env_->MoveFileReplace(path, dir_ + "moved.bin"));
    EXPECT_TRUE(env_->SetLastWriteDos(path, *DosDateTimeFromDateTime(At(2020, 1, 1, 0, 0, 0, 0))));
  }
  EXPECT_EQ(Get("held.bin"), "data");
  EXPECT_TRUE(env_->DeleteFile(path));
}

TEST_P(EnvContract, FileErrorsCarryTheSystemTexts) {
  const std::string missing = dir_ + "missing.txt";
  const std::string no_folder = dir_ + "nowhere\\x.txt";
  EXPECT_EQ(FileErrorText([&] { env_->OpenRead(missing, ShareMode::kReadWrite); }),
            "Cannot open file \"" + missing + "\". " + subject_.file_not_found);
  EXPECT_EQ(FileErrorText([&] { env_->OpenRead(no_folder, ShareMode::kReadWrite); }),
            "Cannot open file \"" + no_folder + "\". " + subject_.path_not_found);
  EXPECT_EQ(FileErrorText([&] { env_->Create(no_folder, ShareMode::kExclusive); }),
            "Cannot create file \"" + no_folder + "\". " + subject_.path_not_found);
  EXPECT_EQ(FileErrorText([&] { env_->OpenRead(dir_, ShareMode::kReadWrite); }),
            "Cannot open file \"" + dir_ + "\". " + subject_.access_denied);

  // Every Env keeps the attributes it was given and refuses to delete a
  // read-only file; only a strict one also refuses to create over it (Wine
  // run by root writes through the file mode).
  Put("ro.txt", "keep");
  ASSERT_TRUE(env_->SetAttributes(dir_ + "ro.txt", kAttrReadOnly));
  EXPECT_EQ(env_->GetAttributes(dir_ + "ro.txt").value_or(0) & kAttrReadOnly, kAttrReadOnly);
  EXPECT_FALSE(env_->DeleteFile(dir_ + "ro.txt"));
  EXPECT_EQ(Get("ro.txt"), "keep");
  if (subject_.strict_attributes) {
    EXPECT_EQ(FileErrorText([&] { env_->Create(dir_ + "ro.txt", ShareMode::kExclusive); }),
              "Cannot create file \"" + dir_ + "ro.txt\". " + subject_.access_denied);
    EXPECT_EQ(Get("ro.txt"), "keep");
  }
  ASSERT_TRUE(env_->SetAttributes(dir_ + "ro.txt", kAttrNormal));
  EXPECT_TRUE(env_->DeleteFile(dir_ + "ro.txt"));

  // Creating over a hidden or system file is refused; deleting it is not.
  for (const uint32_t attribute : {kAttrHidden, kAttrSystem}) {
    Put("h.txt", "keep");
    ASSERT_TRUE(env_->SetAttributes(dir_ + "h.txt", attribute));
    EXPECT_EQ(env_->GetAttributes(dir_ + "h.txt").value_or(0) & attribute, attribute);
    if (subject_.strict_attributes) {
      EXPECT_EQ(FileErrorText([&] { env_->Create(dir_ + "h.txt", ShareMode::kExclusive); }),
                "Cannot create file \"" + dir_ + "h.txt\". " + subject_.access_denied);
      EXPECT_EQ(Get("h.txt"), "keep");
    }
    EXPECT_TRUE(env_->DeleteFile(dir_ + "h.txt"));
  }
}

TEST_P(EnvContract, CopyHonoursFailIfExistsAndKeepsTheTime) {
  Put("a.txt", "new");
  Put("b.txt", "old");
  const auto when = DosDateTimeFromDateTime(At(2019, 6, 1, 12, 0, 0, 0));
  ASSERT_TRUE(env_->SetLastWriteDos(dir_ + "a.txt", *when));
  EXPECT_FALSE(env_->CopyFile(dir_ + "a.txt", dir_ + "b.txt", true));
  EXPECT_EQ(Get("b.txt"), "old");
  EXPECT_TRUE(env_->CopyFile(dir_ + "a.txt", dir_ + "b.txt", false));
  EXPECT_EQ(Get("b.txt"), "new");
  EXPECT_EQ(env_->GetLastWriteDos(dir_ + "b.txt"), when);
  EXPECT_TRUE(env_->CopyFile(dir_ + "a.txt", dir_ + "c.txt", true));
  EXPECT_EQ(Get("c.txt"), "new");
  EXPECT_FALSE(env_->CopyFile(dir_ + "missing.txt", dir_ + "d.txt", false));
  EXPECT_FALSE(env_->FileExists(dir_ + "d.txt"));
}

TEST_P(EnvContract, MoveReplacesTheTarget) {
  Put("Selvane_new.exe", "new");
  Put("Selvane.exe", "old");
  EXPECT_TRUE(env_->MoveFileReplace(dir_ + "Selvane_new.exe", dir_ + "Selvane.exe"));
  EXPECT_FALSE(env_->FileExists(dir_ + "Selvane_new.exe"));
  EXPECT_EQ(Get("Selvane.exe"), "new");
  EXPECT_FALSE(env_->MoveFileReplace(dir_ + "Selvane_new.exe", dir_ + "Selvane.exe"));
  EXPECT_EQ(Get("Selvane.exe"), "new");
}

TEST_P(EnvContract, FoldersAndNamesIgnoreLetterCase) {
  EXPECT_TRUE(env_->CreateDirectory(dir_ + "Kavel"));
  EXPECT_FALSE(env_->CreateDirectory(dir_ + "Kavel"));
  EXPECT_FALSE(env_->CreateDirectory(dir_ + "a\\b"));  // one level only
  EXPECT_TRUE(env_->DirectoryExists(dir_ + "KAVEL\\"));
  EXPECT_FALSE(env_->FileExists(dir_ + "kavel"));
  Put("Kavel\\VendraECF.exe", "exe");
  EXPECT_TRUE(env_->FileExists(dir_ + "kavel\\vendraecf.EXE"));
  EXPECT_FALSE(env_->DirectoryExists(dir_ + "kavel\\vendraecf.EXE"));
  EXPECT_EQ(Get("KAVEL\\VENDRAECF.EXE"), "exe");
  EXPECT_TRUE(env_->DeleteFile(dir_ + "kavel\\VENDRAecf.exe"));
  EXPECT_FALSE(env_->FileExists(dir_ + "Kavel\\VendraECF.exe"));
}

TEST_P(EnvContract, SameFileGoesByTheFileNotTheSpelling) {
  Put("relatório.txt", "one");
  Put("other.txt", "two");
  const std::string file = dir_ + "relatório.txt";
  EXPECT_TRUE(env_->SameFile(file, file));
  EXPECT_TRUE(env_->SameFile(file, dir_ + "RELATóRIO.TXT"));
  EXPECT_FALSE(env_->SameFile(file, dir_ + "other.txt"));
  EXPECT_FALSE(env_->SameFile(file, dir_ + "missing.txt"));
  EXPECT_FALSE(env_->SameFile(dir_ + "missing.txt", dir_ + "missing.txt"));
  EXPECT_FALSE(env_->SameFile(dir_, dir_));  // a folder is no file
  // A file held without sharing, as a container is while it is read, is still known.
  auto held = env_->OpenRead(file, ShareMode::kExclusive);
  EXPECT_TRUE(env_->SameFile(dir_ + "Relatório.txt", file));
}

TEST_P(EnvContract, RenamesThatFailTellWhy) {
  Put("new.bin", "new");
  Put("old.bin", "old");
  EXPECT_EQ(env_->MoveFileReplaceReason(dir_ + "missing.bin", dir_ + "old.bin"), subject_.file_not_found);
  EXPECT_EQ(env_->MoveFileReplaceReason(dir_ + "new.bin", dir_ + "nowhere\\old.bin"), subject_.path_not_found);
  {
    auto held = env_->OpenRead(dir_ + "old.bin", ShareMode::kReadWrite);
    // As when the target is a running program: the holder shares no deletion.
    EXPECT_EQ(env_->MoveFileReplaceReason(dir_ + "new.bin", dir_ + "old.bin"), subject_.access_denied);
  }
  EXPECT_EQ(Get("old.bin"), "old");
  EXPECT_EQ(env_->MoveFileReplaceReason(dir_ + "new.bin", dir_ + "old.bin"), "");
  EXPECT_EQ(Get("old.bin"), "new");
  EXPECT_FALSE(env_->FileExists(dir_ + "new.bin"));
  EXPECT_TRUE(env_->ProgramsHoldingFile(dir_ + "old.bin").empty());  // nobody holds it now
}

TEST_P(EnvContract, AMoveToAFreeNameNeverReplaces) {
  Put("new.bin", "new");
  Put("Old.bin", "old");
  ASSERT_TRUE(env_->CreateDirectory(dir_ + "sub"));
  for (const char* taken : {"Old.bin", "OLD.BIN", "sub", "SUB"}) {
    SCOPED_TRACE(taken);
    EXPECT_EQ(env_->MoveFileToFreeName(dir_ + "new.bin", dir_ + taken), std::nullopt);
    EXPECT_EQ(Get("new.bin"), "new");
  }
  EXPECT_EQ(Get("Old.bin"), "old");
  EXPECT_TRUE(env_->DirectoryExists(dir_ + "sub\\"));
  EXPECT_EQ(env_->MoveFileToFreeName(dir_ + "missing.bin", dir_ + "free.bin"), subject_.file_not_found);
  EXPECT_EQ(env_->MoveFileToFreeName(dir_ + "new.bin", dir_ + "nowhere\\free.bin"), subject_.path_not_found);
  {
    auto held = env_->OpenRead(dir_ + "new.bin", ShareMode::kExclusive);
    EXPECT_EQ(env_->MoveFileToFreeName(dir_ + "new.bin", dir_ + "free.bin"), subject_.sharing_violation);
  }
  EXPECT_EQ(env_->MoveFileToFreeName(dir_ + "new.bin", dir_ + "sub\\Free.bin"), "");
  EXPECT_FALSE(env_->FileExists(dir_ + "new.bin"));
  EXPECT_EQ(Get("sub\\free.bin"), "new");
}

TEST_P(EnvContract, ANewFileIsMadeOnlyUnderAFreeName) {
  Put("Old.bin", "old");
  ASSERT_TRUE(env_->CreateDirectory(dir_ + "sub"));
  for (const char* taken : {"Old.bin", "OLD.BIN", "sub", "SUB"}) {
    SCOPED_TRACE(taken);
    EXPECT_EQ(env_->CreateNew(dir_ + taken, ShareMode::kExclusive), nullptr);
  }
  EXPECT_EQ(Get("Old.bin"), "old");
  EXPECT_TRUE(env_->DirectoryExists(dir_ + "sub\\"));
  EXPECT_THROW(env_->CreateNew(dir_ + "nowhere\\free.bin", ShareMode::kExclusive), EFCreateError);
  {
    auto file = env_->CreateNew(dir_ + "sub\\Free.bin", ShareMode::kExclusive);
    ASSERT_NE(file, nullptr);
    const std::string bytes = "new";
    file->Write(bytes.data(), bytes.size());
    // Held without sharing, as Create holds it.
    EXPECT_THROW(env_->OpenRead(dir_ + "sub\\free.bin", ShareMode::kReadWrite), EFOpenError);
  }
  EXPECT_EQ(Get("sub\\free.bin"), "new");
  EXPECT_EQ(env_->CreateNew(dir_ + "SUB\\FREE.BIN", ShareMode::kExclusive), nullptr);
  EXPECT_EQ(Get("sub\\free.bin"), "new");
}

TEST_P(EnvContract, OnlyAnEmptyFolderIsRemoved) {
  ASSERT_TRUE(env_->CreateDirectory(dir_ + "tmp"));
  Put("tmp\\a.txt", "x");
  Put("tmp a.txt", "beside");  // sorts between the folder and its content
  EXPECT_FALSE(env_->RemoveDirectory(dir_ + "tmp"));
  EXPECT_FALSE(env_->RemoveDirectory(dir_ + "tmp a.txt"));  // a file is no folder
  ASSERT_TRUE(env_->DeleteFile(dir_ + "tmp\\a.txt"));
  EXPECT_TRUE(env_->RemoveDirectory(dir_ + "TMP"));
  EXPECT_FALSE(env_->DirectoryExists(dir_ + "tmp\\"));
  EXPECT_FALSE(env_->RemoveDirectory(dir_ + "tmp"));
  EXPECT_EQ(Get("tmp a.txt"), "beside");
}

}  // namespace selvane
