#include "install/batch_texts.h"

#include <gtest/gtest.h>

#include "install/test_root.h"

namespace selvane {
namespace {

class BatchFileTest : public ::testing::Test {
 protected:
  std::string Saved(const BatchLines& lines) {
    root_.MakeDir("C:\\Kavel\\ECF");
    SaveBatchFile(root_.env(), "C:\\Kavel\\ECF\\AtualizaSistema.bat", lines);
    return root_.Read("C:\\Kavel\\ECF\\AtualizaSistema.bat");
  }
  TestRoot root_;
};

TEST_F(BatchFileTest, SelfUpdateBatchesByteForByte) {
  EXPECT_EQ(Saved(FirstCopyBatch(GetEdition(Edition::kECF))),
            "TASKKILL /F /IM \"Selvane.exe\"\r\n"
            "cd C:\\Kavel\\ECF\r\n"
            "IF exist Selvane_new.exe ( \r\n"
            "ren Selvane_new.exe Selvane.exe \r\n"
            ")\r\n"
            "start Selvane.exe\r\n");
  EXPECT_EQ(Saved(ReplacementBatch(GetEdition(Edition::kMEI))),
            "TASKKILL /F /IM \"Selvane.exe\"\r\n"
            "cd C:\\Kavel\\MEI\r\n"
            "ren Selvane.exe Selvane_old.exe\r\n"
            "IF exist Selvane_new.exe ( \r\n"
            "ren Selvane_new.exe Selvane.exe \r\n"
            "erase Selvane_old.exe \r\n"
            ") ELSE (\r\n"
            "ren Selvane_old.exe Selvane.exe \r\n"
            ")\r\n"
            "start Selvane.exe\r\n");
  EXPECT_EQ(FirstCopyBatch(GetEdition(Edition::kNFCE))[1], "cd C:\\Kavel\\NFCE");
}

TEST_F(BatchFileTest, StartBatchesByteForByte) {
  EXPECT_EQ(Saved(FontBatch(GetEdition(Edition::kNFCE))),
            "copy C:\\Kavel\\NFCE\\SailecRegular.ttf %systemdrive%\\windows\\fonts/y\r\n"
            "reg add \"HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts\" /v \"Sailec Regular "
            "(TrueType)\" /t REG_SZ /d SailecRegular.ttf /f\r\n");
  EXPECT_EQ(Saved(StartBatch(GetEdition(Edition::kECF), "ECF", true)),
            "TASKKILL /F /IM \"Selvane.exe\"\r\n"
            "cd \"C:\\Kavel\\ECF\r\n"
            "ServicoVendra.exe /install\r\n"
            "net start ServicoKavel\r\n"
            "start VendraECF.exe\r\n");
  struct Case {
    Edition edition;
    bool Instalacao;
    BatchLines lines;
  };
  for (const Case& c : std::initializer_list<Case>{
           {Edition::kECF, false, {"TASKKILL /F /IM \"Selvane.exe\"", "cd \"C:\\Kavel\\ECF", "start VendraECF.exe"}},
           {Edition::kNFCE, true, {"TASKKILL /F /IM \"Selvane.exe\"", "cd \"C:\\Kavel\\NFCE", "start VendraNFCE.exe"}},
           {Edition::kMEI, true, {"TASKKILL /F /IM \"Selvane.exe\"", "cd \"C:\\Kavel\\MEI", "start VendraMEI.exe"}},
           {Edition::kMEI, false, {"TASKKILL /F /IM \"Selvane.exe\"", "cd \"C:\\Kavel\\MEI", "start VendraMEI.exe"}},
       }) {
    const EditionInfo& e = GetEdition(c.edition);
    EXPECT_EQ(StartBatch(e, e.PastaRaiz, c.Instalacao), c.lines) << e.PastaRaiz << " " << c.Instalacao;
  }
}

TEST_F(BatchFileTest, TextGoesOutInTheCodePage) {
  // "Instalação" in Windows-1252: one byte per letter, no byte-order mark.
  EXPECT_EQ(Saved({"echo Instalação", ""}), "echo Instala\xE7\xE3o\r\n\r\n");
  EXPECT_EQ(Saved({}), "");
}

TEST_F(BatchFileTest, AFileThatCannotBeWrittenThrows) {
  EXPECT_THROW(SaveBatchFile(root_.env(), "C:\\Kavel\\Missing\\IniciarSistema.bat", {"x"}), EFCreateError);
}

}  // namespace
}  // namespace selvane
