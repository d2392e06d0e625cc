#include "protocol/file_signature.h"

#include <gtest/gtest.h>

namespace selvane {
namespace {

std::vector<uint8_t> BytesOf(std::string_view s) { return {s.begin(), s.end()}; }

SignatureValue Counting() {
  SignatureValue v;
  for (size_t i = 0; i < v.size(); ++i) v[i] = static_cast<uint8_t>(i + 1);
  return v;
}

TEST(FileSignature, FileIsMagicVersionAndTheValue) {
  const std::vector<uint8_t> file = SignatureFileBytes(Counting());
  ASSERT_EQ(file.size(), 71u);
  EXPECT_EQ(std::string(file.begin(), file.begin() + 7), std::string("SLVSIG\x01", 7));
  EXPECT_EQ(ParseSignatureFile(file), Counting());
}

TEST(FileSignature, AnythingButExactlyOneSignatureOfThisVersionIsRefused) {
  const std::vector<uint8_t> good = SignatureFileBytes(Counting());
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
    std::string reason;
  };
  std::vector<Case> cases;
  const std::string no_format = "o arquivo de assinatura não está no formato esperado.";
  for (size_t n = 0; n < good.size(); ++n) {
    const std::string reason = n < 7 ? no_format
                                     : "o arquivo de assinatura está incompleto (" + std::to_string(n) +
                                           " de 71 bytes).";
    cases.push_back({"truncated", std::vector<uint8_t>(good.begin(), good.begin() + static_cast<long>(n)), reason});
  }
  for (const size_t extra : {1, 2, 64}) {
    std::vector<uint8_t> b = good;
    b.insert(b.end(), extra, 0);
    cases.push_back({"extra bytes", b, "o arquivo de assinatura tem bytes além dos 71 esperados."});
  }
  for (const uint8_t version : {0, 2, 255}) {
    std::vector<uint8_t> b = good;
    b[6] = version;
    cases.push_back({"other version", b, "versão de assinatura " + std::to_string(version) + " não suportada."});
  }
  for (const char* magic : {"slvsig", "SLVSIH", "MZ\x90\0\x03\0"}) {
    std::vector<uint8_t> b = good;
    std::copy(magic, magic + 6, b.begin());
    cases.push_back({"other magic", b, no_format});
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.what << ", " << c.bytes.size() << " bytes");
    try {
      ParseSignatureFile(c.bytes);
      ADD_FAILURE() << "accepted";
    } catch (const ESignatureFormat& e) {
      EXPECT_EQ(e.what(), c.reason);
    }
  }
}

TEST(FileSignature, NamesFoldToCapitalsAsWindowsComparesThem) {
  const std::pair<std::string_view, std::string_view> cases[] = {
      {"VendraECF.exe", "VENDRAECF.EXE"},
      {"relatório ção.dll", "RELATÓRIO ÇÃO.DLL"},
      {"àáâãäåæçèéêëìíîïðñòóôõöøùúûüýþ", "ÀÁÂÃÄÅÆÇÈÉÊËÌÍÎÏÐÑÒÓÔÕÖØÙÚÛÜÝÞ"},
      {"÷ß", "÷ß"},  // no capital of their own in a file name
      {"ÿ", "Ÿ"},
      {"Ωmega_1~2.bpl", "ΩMEGA_1~2.BPL"},  // beyond Latin-1 as it is
  };
  for (const auto& [name, folded] : cases) EXPECT_EQ(SignedName(name), folded) << name;
}

TEST(FileSignature, MessageBindsTheFoldedNameTheBytesAndTheirCount) {
  EXPECT_EQ(SignedMessageHead("a.Exe"), BytesOf(std::string_view("Selvane signed file\0A.EXE\0", 26)));
  EXPECT_EQ(SignedMessageTail(0x0102030405060708ull), (std::vector<uint8_t>{8, 7, 6, 5, 4, 3, 2, 1}));
}

TEST(FileSignature, ProgramsLibrariesAndScriptsNeedASignatureDataDoesNot) {
  for (const char* name : {"VendraECF.exe", "SERVICO.EXE", "rtl260.bpl", "x.dll", "a.ocx", "d.sys", "p.drv", "c.cpl",
                           "s.scr", "t.com", "i.msi", "i.msp", "b.bat", "b.CMD", "p.ps1", "v.vbs", "v.vbe", "j.js",
                           "j.jse", "w.wsf", "w.wsh", "h.hta", "p.pif", "VENDRA~1.EXE", "Selvane.exe"}) {
    EXPECT_TRUE(NeedsSignature(name)) << name;
  }
  for (const char* name : {"leiame.txt", "VendraECF.exe.sig", "schema.xsd", "rtl260.bpl.txt", "exe", "a.exe_",
                           "fonte.ttf", "dados.ini", "a.json", "config.xml"}) {
    EXPECT_FALSE(NeedsSignature(name)) << name;
  }
}

}  // namespace
}  // namespace selvane
