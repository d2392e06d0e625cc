#include "install/windows_names.h"

#include <gtest/gtest.h>

namespace selvane {
namespace {

// A path and the file name taken from it.
struct NameCase {
  const char* path;
  const char* name;
};

// The server's path is refused with its text, which quotes the path.
void ExpectRefused(const char* path) {
  try {
    PlainFileNameFromServer(path);
    ADD_FAILURE() << "accepted \"" << path << "\"";
  } catch (const EInvalidFileName& e) {
    EXPECT_EQ(std::string(e.what()), std::string("Nome de arquivo inválido recebido do servidor: \"") + path + "\"");
  }
}

TEST(FileNamePart, TakesTheTextAfterTheLastBackslashOrColon) {
  for (const NameCase& c : std::initializer_list<NameCase>{
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

TEST(PlainFileNameFromServer, AcceptsPlainNamesAsWindowsWouldCreateThem) {
  for (const NameCase& c : std::initializer_list<NameCase>{
           {"VendraECF.exe", "VendraECF.exe"},
           {"C:\\Kavel\\Servidor Atualizacao\\ECF\\rtl260.bpl", "rtl260.bpl"},
           {"readme.bpl.txt", "readme.bpl.txt"},
           {"Configuração.ini", "Configuração.ini"},
           {".hidden", ".hidden"},
           {"a b.txt", "a b.txt"},
           {"CONSOLE.txt", "CONSOLE.txt"},
           {"COM10", "COM10"},
           {"LPT", "LPT"},
           {"COM\xC2\xB9" "0.txt", "COM\xC2\xB9" "0.txt"},
           {"COM\xC2\xBA", "COM\xC2\xBA"},  // º is no digit
           {"nul_device.txt", "nul_device.txt"},
           {"CLOCK.txt", "CLOCK.txt"},
           // A server column narrower than its paths cuts names; Windows drops
           // the trailing blanks and dots when it creates the file, and so do we.
           {"C:\\Kavel\\Servidor Atualizacao\\ECF\\relatorio de vendas ", "relatorio de vendas"},
           {"name.", "name"},
           {"name. . ", "name"},
           {"a.b...", "a.b"},
       }) {
    EXPECT_EQ(PlainFileNameFromServer(c.path), c.name) << c.path;
  }
}

TEST(PlainFileNameFromServer, RefusesNamesThatLeaveTheFolderOrAreNoNames) {
  for (const char* path : {"", "C:\\Kavel\\ECF\\", ".", "..", "C:\\x\\..", "...", ". .", "   ",
                           "../../Windows/win.ini", "a/b.exe", "a<b", "a>b", "a\"b", "a|b", "a?b", "a*b",
                           "tab\there", "nl\nhere"}) {
    ExpectRefused(path);
  }
}

TEST(PlainFileNameFromServer, RefusesEveryFormOfADeviceName) {
  for (const char* path :
       {"CON", "con", "Nul.txt", "AUX.dll", "PRN ", "PRN.", "NUL .txt", "nul. .", "CON.tar.gz", "COM0", "COM1",
        "com9.log", "LPT0", "lpt9.txt", "COM\xC2\xB9", "COM\xC2\xB2.txt", "com\xC2\xB3", "LPT\xC2\xB9",
        "lpt\xC2\xB2 .bin", "LPT\xC2\xB3", "CONIN$", "conout$", "CONOUT$.txt", "CLOCK$", "clock$.dat",
        "C:\\Kavel\\Servidor Atualizacao\\ECF\\COM\xC2\xB9"}) {
    EXPECT_TRUE(IsDeviceName(FileNamePart(path))) << path;
    ExpectRefused(path);
  }
  for (const char* name : {"CONSOLE", "COM10", "COM", "LPTX", "NULL.txt", "xCON", "COM1x", "COM\xC2\xB4"}) {
    EXPECT_FALSE(IsDeviceName(name)) << name;
  }
}

}  // namespace
}  // namespace selvane
