#include "install/windows_names.h"

#include <gtest/gtest.h>

namespace selvane {
namespace {

TEST(FileNamePart, TakesTheTextAfterTheLastBackslashOrColon) {
  struct Case {
    const char* path;
    const char* name;
  };
  for (const Case& c : std::initializer_list<Case>{
           {"VendraECF.exe", "VendraECF.exe"},
           {"C:\\Kavel\\Servidor Atualizacao\\ECF\\VendraECF.exe", "VendraECF.exe"},
           {"C:VendraECF.exe", "VendraECF.exe"},
           {"D:\\a:b\\c", "c"},
           {"pasta\\", ""},
           {"a/b.txt", "a/b.txt"},
       }) {
    EXPECT_EQ(FileNamePart(c.path), c.name) << c.path;
  }
}

TEST(PlainFileNameFromServer, AcceptsPlainNames) {
  for (const char* path : {"VendraECF.exe", "C:\\Kavel\\Servidor Atualizacao\\ECF\\rtl260.bpl", "readme.bpl.txt",
                           "Configuração.ini", ".hidden", "a b.txt", "CONSOLE.txt", "COM10", "LPT0.log",
                           "nul_device.txt"}) {
    EXPECT_EQ(PlainFileNameFromServer(path), std::string(FileNamePart(path))) << path;
  }
}

TEST(PlainFileNameFromServer, RefusesNamesThatAreNotPlainFileNames) {
  for (const char* path : {"", "C:\\Kavel\\ECF\\", ".", "..", "C:\\x\\..", "...", "../../Windows/win.ini",
                           "a/b.exe", "name.", "name ", "a<b", "a>b", "a\"b", "a|b", "a?b", "a*b",
                           "tab\there", "nl\nhere", "CON", "con", "Nul.txt", "AUX.dll", "PRN ", "COM1",
                           "lpt9.txt", "CONIN$", "conout$"}) {
    try {
      PlainFileNameFromServer(path);
      ADD_FAILURE() << "accepted \"" << path << "\"";
    } catch (const EInvalidFileName& e) {
      EXPECT_EQ(std::string(e.what()),
                std::string("Nome de arquivo inválido recebido do servidor: \"") + path + "\"");
    }
  }
}

}  // namespace
}  // namespace selvane
