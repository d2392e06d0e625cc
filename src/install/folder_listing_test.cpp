#include "install/folder_listing.h"

#include <gtest/gtest.h>

#include <map>

#include "install/file_time.h"
#include "install/test_root.h"
#include "base/dos_time.h"
#include "records/record_set.h"

namespace selvane {
namespace {

// The listing's rows, by name.
std::map<std::string, double> Rows(Env& env, OleVariant packet) {
  TRecordSet rs(env);
  rs.SetData(std::move(packet));
  std::map<std::string, double> rows;
  for (rs.First(); !rs.Eof(); rs.Next()) {
    rows[rs.FieldByName(kListingFilename).AsString()] = rs.FieldByName(kListingFileDate).AsDateTime();
  }
  return rows;
}

TEST(RetornaListaArquivosPasta, ListsOrdinaryFilesWithTheirStampedTimes) {
  TestRoot root;
  RecordingEnv& env = root.env();
  root.MakeDir("C:\\Kavel\\ECF\\Sub");
  const double when = DateTimeFromCivil({2024, 3, 15, 10, 30, 0, 0}).value();
  for (const char* name : {"VendraECF.exe", "ReadOnly.dll", "Hidden.dat", "System.dat", "Configuração.ini"}) {
    root.Write(std::string("C:\\Kavel\\ECF\\") + name, "x");
    ASSERT_TRUE(DefineDataHoraArq(env, std::string("C:\\Kavel\\ECF\\") + name, when));
  }
  root.Write("C:\\Kavel\\ECF\\Sub\\inner.txt", "x");
  env.SetAttributes("C:\\Kavel\\ECF\\ReadOnly.dll", kAttrReadOnly);
  env.SetAttributes("C:\\Kavel\\ECF\\Hidden.dat", kAttrHidden);
  env.SetAttributes("C:\\Kavel\\ECF\\System.dat", kAttrSystem);

  auto rows = Rows(env, RetornaListaArquivosPasta(env, "C:\\Kavel\\ECF\\"));
  EXPECT_EQ(rows, (std::map<std::string, double>{
                      {"Configuração.ini", when}, {"ReadOnly.dll", when}, {"VendraECF.exe", when}}));
}

TEST(RetornaListaArquivosPasta, MissingOrEmptyFolderGivesNoRecords) {
  TestRoot root;
  root.MakeDir("C:\\Kavel\\NFCE\\Schemas");
  EXPECT_TRUE(Rows(root.env(), RetornaListaArquivosPasta(root.env(), "C:\\Kavel\\NFCE\\Schemas\\")).empty());
  EXPECT_TRUE(Rows(root.env(), RetornaListaArquivosPasta(root.env(), "C:\\Kavel\\MEI\\")).empty());
}

}  // namespace
}  // namespace selvane
