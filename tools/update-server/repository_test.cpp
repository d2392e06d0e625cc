#include "repository.h"

#include <gtest/gtest.h>

#include "base/dos_time.h"
#include "test_repository.h"

namespace selvane::refserver {
namespace {

const double kWhen1 = DateTimeFromDosDateTime(kTime1);
const double kWhen2 = DateTimeFromDosDateTime(kTime2);

TEST(RepositoryFolderOf, MapsEveryFolderMethodAndNothingElse) {
  struct Case {
    std::string_view method;
    std::optional<std::string_view> folder;
  };
  const Case cases[] = {
      {"AtualizaPastaECF", "ECF"},
      {"TServidor.RecompoePastaECF", "ECF"},
      {"AtualizaPastaKVL", "KVL"},
      {"RecompoePastaNFCE", "NFCE"},
      {"TServidor.AtualizaPastaSchemasNFCE", "NFCE\\Schemas"},
      {"RecompoePastaSchemasNFCE", "NFCE\\Schemas"},
      {"AtualizaPastaDNF", "MEI"},
      {"RecompoePastaDNF", "MEI"},
      {"AtualizaAtualizador", std::nullopt},
      {"GetNumeroAtualizacao", std::nullopt},
      {"AtualizaPastaMEI", std::nullopt},
      {"atualizapastaecf", std::nullopt},
      {"AtualizaPastaECFX", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(Repository::FolderOf(c.method), c.folder) << c.method;
}

class RepositoryTest : public ::testing::Test {
 protected:
  TestRepository repo_;
};

TEST_F(RepositoryTest, FetchListHoldsMissingAndChangedFilesInNameOrder) {
  repo_.Add("ECF/VendraECF.exe", "exe");
  repo_.Add("ECF/rtl260.bpl", "bpl");
  repo_.Add("ECF/Same.dll", "same");
  repo_.Add("ECF/Changed.ini", "ini", kTime2);
  repo_.AddFolder("ECF/sub");
  Repository r(repo_.env(), {});
  const std::vector<ListedFile> listing{
      {"same.DLL", kWhen1},      // same file, name in other letter case
      {"Changed.ini", kWhen1},   // two seconds off
      {"LocalOnly.txt", kWhen1}, // the server does not care
  };
  const auto list = r.FetchList("ECF", listing);
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(list[0].file, "ECF\\Changed.ini");
  EXPECT_EQ(list[0].date_time, kWhen2);
  EXPECT_EQ(list[1].file, "ECF\\VendraECF.exe");
  EXPECT_EQ(list[2].file, "ECF\\rtl260.bpl");
  EXPECT_EQ(list[2].date_time, kWhen1);
}

TEST_F(RepositoryTest, FetchListSkipsHiddenFilesAndServesNestedFolders) {
  repo_.Add("NFCE/VendraNFCE.exe", "exe");
  repo_.Add("NFCE/Schemas/nfe.xsd", "xsd");
  repo_.Add("NFCE/secret.txt", "hidden");
  ASSERT_TRUE(repo_.env().SetAttributes("C:\\NFCE\\secret.txt", kAttrHidden));
  Repository r(repo_.env(), {.full_paths = true});
  const auto nfce = r.FetchList("NFCE", {});
  ASSERT_EQ(nfce.size(), 1u);
  EXPECT_EQ(nfce[0].file, "C:\\Kavel\\Servidor Atualizacao\\NFCE\\VendraNFCE.exe");
  const auto schemas = r.FetchList("NFCE\\Schemas", {});
  ASSERT_EQ(schemas.size(), 1u);
  EXPECT_EQ(schemas[0].file, "C:\\Kavel\\Servidor Atualizacao\\NFCE\\Schemas\\nfe.xsd");
  EXPECT_TRUE(r.FetchList("MEI", {}).empty());  // folder absent
}

TEST_F(RepositoryTest, ExtraEntriesFollowEveryFolderList) {
  repo_.Add("MEI/a.txt", "a");
  Repository r(repo_.env(), {.extra_entries = {"..\\evil.exe", "C:\\Windows\\x.dll"}});
  const auto list = r.FetchList("MEI", {{"a.txt", kWhen1}});
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0].file, "..\\evil.exe");
  EXPECT_EQ(list[1].file, "C:\\Windows\\x.dll");
  const ResolvedFile extra = r.Resolve("..\\evil.exe");
  EXPECT_TRUE(extra.path.empty());
  EXPECT_EQ(extra.name, "evil.exe");
}

TEST_F(RepositoryTest, UpdaterIsListedWhenTheClientsCopyDiffers) {
  Repository r(repo_.env(), {});
  EXPECT_TRUE(r.UpdaterFetchList({}).empty()) << "no updater in the repository";
  repo_.Add("updater/Selvane.exe", "MZ");
  EXPECT_TRUE(r.UpdaterFetchList({{"Selvane.exe", kWhen1}}).empty());
  EXPECT_TRUE(r.UpdaterFetchList({{"SELVANE.EXE", kWhen1}}).empty());
  for (const std::vector<ListedFile>& listing :
       {std::vector<ListedFile>{}, {{"Selvane.exe", kWhen2}}, {{"Other.exe", kWhen1}}}) {
    const auto list = r.UpdaterFetchList(listing);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].file, "C:\\Kavel\\Servidor Atualizacao\\Cliente\\Selvane.exe");
    EXPECT_EQ(list[0].date_time, kWhen1);
  }
}

TEST_F(RepositoryTest, ResolveMapsHandedOutNamesBackToRepositoryFiles) {
  repo_.Add("ECF/VendraECF.exe", "exe");
  repo_.Add("NFCE/Schemas/nfe.xsd", "xsd", kTime2);
  repo_.Add("updater/Selvane.exe", "MZ");
  repo_.Add("updater/Selvane.exe.sig", "SLVSIG");
  Repository r(repo_.env(), {});
  struct Case {
    std::string_view file;
    std::string_view path;
  };
  const Case cases[] = {
      {"ECF\\VendraECF.exe", "C:\\ECF\\VendraECF.exe"},
      {"ecf\\vendraecf.EXE", "C:\\ECF\\VendraECF.exe"},
      {"C:\\Kavel\\Servidor Atualizacao\\ECF\\VendraECF.exe", "C:\\ECF\\VendraECF.exe"},
      {"c:\\kavel\\servidor atualizacao\\nfce\\schemas\\NFE.xsd", "C:\\NFCE\\Schemas\\nfe.xsd"},
      {"NFCE\\Schemas\\nfe.xsd", "C:\\NFCE\\Schemas\\nfe.xsd"},
      {"C:\\Kavel\\Servidor Atualizacao\\Cliente\\Selvane.exe", "C:\\updater\\Selvane.exe"},
      {"C:\\Kavel\\Servidor Atualizacao\\Cliente\\Selvane.exe.sig", "C:\\updater\\Selvane.exe.sig"},
  };
  for (const Case& c : cases) EXPECT_EQ(r.Resolve(c.file).path, c.path) << c.file;
  EXPECT_EQ(r.Resolve("NFCE\\Schemas\\nfe.xsd").date_time, kWhen2);
}

TEST_F(RepositoryTest, ResolveRefusesAnythingOutsideTheServedFiles) {
  repo_.Add("ECF/VendraECF.exe", "exe");
  repo_.Add("updater/Selvane.exe", "MZ");
  repo_.Add("private.txt", "not served");
  Repository r(repo_.env(), {});
  for (std::string_view file : {
           "VendraECF.exe",                   // no folder
           "ECF\\Missing.exe",                // not in the repository
           "MEI\\VendraECF.exe",              // other folder
           "ECF\\..\\private.txt",            // escaping
           "ECF\\..",                         //
           "..\\private.txt",                 //
           "private.txt",                     //
           "updater\\Selvane.exe",            // the updater only under its server path
           "ECF/VendraECF.exe",               // slashes are not separators here
           "C:\\Kavel\\Servidor Atualizacao\\Cliente\\Other.exe",
           "D:\\ECF\\VendraECF.exe",
           "",
       }) {
    EXPECT_THROW(r.Resolve(file), UnknownFileError) << file;
  }
}

TEST_F(RepositoryTest, ContainerNameAvoidsTheFolderFiles) {
  repo_.Add("KVL/data", "1");
  repo_.Add("KVL/data.zip", "2");
  repo_.Add("KVL/~DATA.ZIP", "3");
  repo_.Add("KVL/other", "4");
  Repository r(repo_.env(), {});
  EXPECT_EQ(r.Resolve("KVL\\data").container_name, "~~data.zip");
  EXPECT_EQ(r.Resolve("KVL\\other").container_name, "other.zip");
}

TEST(SameFileName, FoldsAsciiAndLatinLetters) {
  EXPECT_TRUE(SameFileName("Relatório.TXT", "RELATÓRIO.txt"));
  EXPECT_TRUE(SameFileName("ÇÃO", "ção"));
  EXPECT_FALSE(SameFileName("a.txt", "a.txt "));
  EXPECT_FALSE(SameFileName("×", "÷"));  // U+00D7 and U+00F7 are no letter pair
}

}  // namespace
}  // namespace selvane::refserver
