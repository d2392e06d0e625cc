// The vendor's signer and the updater's check, end to end: what the one
// writes the other accepts for that file under that name and that key only.

#include "sign/signer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "install/file_trust.h"
#include "testing/memory_env.h"
#include "testing/scratch_dir.h"
#include "testing/test_trust_keys.h"

namespace selvane::sign {
namespace {

namespace fs = std::filesystem;

const std::string kKeys = SELVANE_TEST_KEYS;

std::string ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

void WriteAll(const fs::path& p, std::string_view bytes) {
  fs::create_directories(p.parent_path());
  std::ofstream(p, std::ios::binary) << bytes;
}

class SignerTest : public ::testing::Test {
 protected:
  SignerTest() : dir_("selvane-sign") {}

  // The check's text for `content` under `name` with `signature` beside it,
  // or "" when it passes.
  std::string Check(const TrustKey& key, std::string_view name, std::string_view content,
                    const std::optional<std::string>& signature) {
    MemoryEnv env;
    env.MakeDirs("C:\\x");
    env.PutFile("C:\\x\\file", content);
    if (signature) env.PutFile("C:\\x\\file.sig", *signature);
    try {
      CheckSignedFile(env, key, "C:\\x\\file", name, "C:\\x\\file.sig");
      return "";
    } catch (const EUnsignedFile& e) {
      return e.what();
    }
  }

  std::string SignatureOf(std::string_view name, std::string_view content, const std::string& key_file) {
    const fs::path p = fs::path(dir_.path()) / "one";
    WriteAll(p, content);
    const std::vector<uint8_t> sig = SignFile(SigningKey::FromPemFile(kKeys + "/" + key_file), p.string(), name);
    return {sig.begin(), sig.end()};
  }

  ScratchDir dir_;
};

TEST_F(SignerTest, SignsEveryProgramLibraryAndScriptBelowTheFolderAndNothingElse) {
  const fs::path root = dir_.path();
  for (const char* f : {"ECF/VendraECF.exe", "ECF/leiame.txt", "KVL/rtl260.bpl", "NFCE/Schemas/a.xsd",
                        "updater/Selvane.exe", "MEI/instala.CMD"}) {
    WriteAll(root / f, std::string("content of ") + f);
  }
  std::ostringstream out, err;
  ASSERT_EQ(RunSign({"--key", kKeys + "/test_signing_key.pem", root.string()}, out, err), 0) << err.str();
  EXPECT_EQ(out.str(),
            "signed ECF/VendraECF.exe\nsigned KVL/rtl260.bpl\nsigned MEI/instala.CMD\nsigned updater/Selvane.exe\n");
  EXPECT_FALSE(fs::exists(root / "ECF/leiame.txt.sig"));
  EXPECT_FALSE(fs::exists(root / "NFCE/Schemas/a.xsd.sig"));
  EXPECT_EQ(Check(contract::kKey, "Selvane.exe", ReadAll(root / "updater/Selvane.exe"),
                  ReadAll(root / "updater/Selvane.exe.sig")),
            "");
  // A second run signs the same files again, not their signatures.
  std::ostringstream again;
  ASSERT_EQ(RunSign({"--key", kKeys + "/test_signing_key.pem", root.string()}, again, err), 0);
  EXPECT_EQ(again.str(), out.str());
}

TEST_F(SignerTest, OnlyThatFileUnderThatNameAndThatKeyPasses) {
  const std::string content = "MZ program bytes";
  const std::string good = SignatureOf("VendraECF.exe", content, "test_signing_key.pem");
  const std::string mismatch = "A assinatura de VendraECF.exe não é válida: a assinatura não confere com o arquivo.";
  const auto bad = [](const std::string& reason) { return "A assinatura de VendraECF.exe não é válida: " + reason; };
  std::string version_2 = good;
  version_2[6] = 2;
  std::string version_0 = good;
  version_0[6] = 0;
  struct Case {
    const char* what;
    std::string name;
    std::string content;
    std::optional<std::string> signature;
    const TrustKey* key;
    std::string text;
  };
  const Case cases[] = {
      {"as signed", "VendraECF.exe", content, good, &contract::kKey, ""},
      {"other letter case", "vendraecf.EXE", content, good, &contract::kKey, ""},
      {"wrong key", "VendraECF.exe", content, good, &contract::kOtherKey, mismatch},
      {"signed by another key", "VendraECF.exe", content,
       SignatureOf("VendraECF.exe", content, "other_signing_key.pem"), &contract::kKey, mismatch},
      {"wrong name", "VendraNFCE.exe", content, good, &contract::kKey,
       "A assinatura de VendraNFCE.exe não é válida: a assinatura não confere com o arquivo."},
      {"content one byte longer", "VendraECF.exe", content + "!", good, &contract::kKey, mismatch},
      {"content one byte shorter", "VendraECF.exe", content.substr(1), good, &contract::kKey, mismatch},
      {"empty content", "VendraECF.exe", "", good, &contract::kKey, mismatch},
      {"no signature", "VendraECF.exe", content, std::nullopt, &contract::kKey,
       bad("falta o arquivo VendraECF.exe.sig.")},
      {"empty signature file", "VendraECF.exe", content, "", &contract::kKey,
       bad("o arquivo de assinatura não está no formato esperado.")},
      {"truncated signature", "VendraECF.exe", content, good.substr(0, 70), &contract::kKey,
       bad("o arquivo de assinatura está incompleto (70 de 71 bytes).")},
      {"extra bytes", "VendraECF.exe", content, good + std::string(4096, 'x'), &contract::kKey,
       bad("o arquivo de assinatura tem bytes além dos 71 esperados.")},
      {"old format version", "VendraECF.exe", content, version_0, &contract::kKey,
       bad("versão de assinatura 0 não suportada.")},
      {"newer format version", "VendraECF.exe", content, version_2, &contract::kKey,
       bad("versão de assinatura 2 não suportada.")},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Check(*c.key, c.name, c.content, c.signature), c.text) << c.what;
  }
}

TEST_F(SignerTest, EveryChangedByteOfFileOrSignatureIsFound) {
  const std::string content = "MZ\x90 a small program";
  const std::string good = SignatureOf("a.dll", content, "test_signing_key.pem");
  for (size_t i = 0; i < content.size(); ++i) {
    std::string changed = content;
    changed[i] ^= 0x01;
    EXPECT_NE(Check(contract::kKey, "a.dll", changed, good), "") << "content byte " << i;
  }
  for (size_t i = 0; i < good.size(); ++i) {
    std::string changed = good;
    changed[i] ^= 0x01;
    EXPECT_NE(Check(contract::kKey, "a.dll", content, changed), "") << "signature byte " << i;
  }
}

TEST_F(SignerTest, RefusesAnythingButAP256PrivateKey) {
  std::ostringstream out, err;
  EXPECT_EQ(RunSign({"--key", kKeys + "/test_trust_key.pem", dir_.path()}, out, err), 1);
  EXPECT_NE(err.str().find("holds no ECDSA P-256 private key"), std::string::npos) << err.str();
  EXPECT_EQ(RunSign({dir_.path()}, out, err), 2);
}

}  // namespace
}  // namespace selvane::sign
