// Signed editions: with a trust key the updater puts no program, library or
// script in place, and swaps in no new updater, unless the signature beside
// it on the server was made for it with the key's private half.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "install_fixture.h"
#include "sign/signer.h"
#include "testing/test_trust_keys.h"

namespace selvane {
namespace {

using refserver::kTime1;
using refserver::kTime2;
using Texts = std::vector<std::string>;

const sign::SigningKey& VendorKey() {
  static const sign::SigningKey key = sign::SigningKey::FromPemFile(std::string(SELVANE_TEST_KEYS) + "/test_signing_key.pem");
  return key;
}

class SignedTest : public InstallFixture {
 protected:
  SignedTest() { trust_key_ = contract::kKey; }

  // The signature of the repository file `relative` as the vendor's tool
  // writes it, under `name` (its own by default).
  std::string SignatureOf(const std::string& relative, std::string name = "") {
    const std::string path = repo_.dir() + "/" + relative;
    if (name.empty()) name = std::filesystem::path(path).filename().string();
    const std::vector<uint8_t> sig = sign::SignFile(VendorKey(), path, name);
    return {sig.begin(), sig.end()};
  }
  void AddSigned(const std::string& relative, const std::string& content, DosDateTime when = kTime1) {
    repo_.Add(relative, content, when);
    repo_.Add(relative + ".sig", SignatureOf(relative), when);
  }

  // An ECF edition, signed: two programs, a runtime package, an unsigned text file.
  void SignedEcf() {
    AddSigned("ECF/VendraECF.exe", "MZ vendra 1");
    AddSigned("ECF/ServicoVendra.exe", "MZ servico");
    AddSigned("ECF/rtl260.bpl", "rtl");
    repo_.Add("ECF/leiame.txt", "leia-me 1");
    AddSigned("KVL/kvl.dll", "kvl");
    AddSigned("updater/Selvane.exe", kUpdaterBytes);
  }

  std::string Client(const std::string& path) { return root_.Read(path); }
};

TEST_F(SignedTest, SignedEditionInstallsAndUpdatesUnsignedDataAlongside) {
  SignedEcf();
  StartServer();
  PrepareClient(Edition::kECF, true);
  PlaceCurrentUpdater(Edition::kECF);
  EXPECT_EQ(Run(Edition::kECF, true).LastStatus(), "Concluído!");
  EXPECT_EQ(Client("C:\\Kavel\\ECF\\VendraECF.exe"), "MZ vendra 1");
  EXPECT_EQ(Client("C:\\Kavel\\ECF\\leiame.txt"), "leia-me 1");
  EXPECT_EQ(Client("C:\\Windows\\kvl\\rtl260.bpl"), "rtl");
  EXPECT_EQ(Client("C:\\Windows\\kvl\\kvl.dll"), "kvl");
  EXPECT_TRUE(env().FileExists("C:\\Kavel\\ECF\\VendraECF.exe.sig"));

  // A new program with its new signature, and a new text without one.
  AddSigned("ECF/VendraECF.exe", "MZ vendra 2", kTime2);
  repo_.Add("ECF/leiame.txt", "leia-me 2", kTime2);
  EXPECT_EQ(Run(Edition::kECF, false).LastStatus(), "Concluído!");
  EXPECT_EQ(Client("C:\\Kavel\\ECF\\VendraECF.exe"), "MZ vendra 2");
  EXPECT_EQ(Client("C:\\Kavel\\ECF\\leiame.txt"), "leia-me 2");

  // Fetched again with its signature left in place: that one still matches.
  repo_.Add("ECF/VendraECF.exe", "MZ vendra 2", kTime1);
  EXPECT_EQ(Run(Edition::kECF, false).LastStatus(), "Concluído!");
  EXPECT_EQ(ClientTime("C:\\Kavel\\ECF\\VendraECF.exe"), RepoTime(kTime1));
}

// Whatever is wrong with one program's signature, its step fails naming it
// before anything is put in place: the other new files of the step, the text
// file among them, stay old.
TEST_F(SignedTest, AProgramWithoutItsValidSignatureFailsItsStepAndPlacesNothing) {
  const std::string bad = "A assinatura de VendraECF.exe não é válida: ";
  const std::string mismatch = bad + "a assinatura não confere com o arquivo.";
  struct Case {
    const char* what;
    std::function<void()> serve;  // what the server holds of VendraECF.exe besides the old installation
    std::string text;
  };
  const std::vector<Case> cases = {
      {"changed after signing",
       [&] {
         AddSigned("ECF/VendraECF.exe", "MZ vendra 2", kTime2);
         repo_.Add("ECF/VendraECF.exe", "MZ vendra 2 with a virus", kTime2);
       },
       mismatch},
      {"new without a new signature: the one in place is the old one's",
       [&] { repo_.Add("ECF/VendraECF.exe", "MZ vendra 2", kTime2); }, mismatch},
      {"another file's signature",
       [&] {
         repo_.Add("ECF/VendraECF.exe", "MZ vendra 2", kTime2);
         repo_.Add("ECF/VendraECF.exe.sig", SignatureOf("ECF/ServicoVendra.exe"), kTime2);
       },
       mismatch},
      {"signed under another name",
       [&] {
         repo_.Add("ECF/VendraECF.exe", "MZ vendra 2", kTime2);
         repo_.Add("ECF/VendraECF.exe.sig", SignatureOf("ECF/VendraECF.exe", "ServicoVendra.exe"), kTime2);
       },
       mismatch},
      {"truncated signature",
       [&] {
         AddSigned("ECF/VendraECF.exe", "MZ vendra 2", kTime2);
         repo_.Add("ECF/VendraECF.exe.sig", SignatureOf("ECF/VendraECF.exe").substr(0, 40), kTime2);
       },
       bad + "o arquivo de assinatura está incompleto (40 de 71 bytes)."},
      {"no signature anywhere",
       [&] {
         repo_.Add("ECF/VendraECF.exe", "MZ vendra 2", kTime2);
         std::filesystem::remove(repo_.dir() + "/ECF/VendraECF.exe.sig");
         std::filesystem::remove(root_.dir() + "/Kavel/ECF/VendraECF.exe.sig");
       },
       bad + "falta o arquivo VendraECF.exe.sig."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SignedEcf();
    StartServer();
    PrepareClient(Edition::kECF, true);
    PlaceCurrentUpdater(Edition::kECF);
    ASSERT_EQ(Run(Edition::kECF, true).LastStatus(), "Concluído!");
    const std::string old_sig = Client("C:\\Kavel\\ECF\\VendraECF.exe.sig");
    c.serve();
    const std::vector<std::string> installed = ClientFiles();
    repo_.Add("ECF/leiame.txt", "leia-me 2", kTime2);
    AddSigned("ECF/ServicoVendra.exe", "MZ servico 2", kTime2);
    RecordingWindow& w = Run(Edition::kECF, false);
    EXPECT_EQ(w.LastStatus(), c.text);
    EXPECT_EQ(Client("C:\\Kavel\\ECF\\VendraECF.exe"), "MZ vendra 1");
    EXPECT_EQ(Client("C:\\Kavel\\ECF\\ServicoVendra.exe"), "MZ servico");
    EXPECT_EQ(Client("C:\\Kavel\\ECF\\leiame.txt"), "leia-me 1");
    if (env().FileExists("C:\\Kavel\\ECF\\VendraECF.exe.sig")) {
      EXPECT_EQ(Client("C:\\Kavel\\ECF\\VendraECF.exe.sig"), old_sig);
    }
    EXPECT_FALSE(env().DirectoryExists("C:\\Kavel\\ECF\\~Selvane.tmp\\"));
    EXPECT_EQ(ClientFiles(), installed);

    conn_.reset();
    server_->Stop();
    std::filesystem::remove_all(root_.dir() + "/Kavel");
    std::filesystem::remove_all(root_.dir() + "/Windows/kvl");
    std::filesystem::remove_all(repo_.dir() + "/ECF");
  }
}

class SignedUpdaterTest : public SignedTest {
 protected:
  void SetUp() override { repo_.Add("MEI/VendraMEI.exe", "MZ mei"); }
};

TEST_F(SignedUpdaterTest, ASignedNewUpdaterIsSwappedIn) {
  AddSigned("MEI/VendraMEI.exe", "MZ mei");
  AddSigned("updater/Selvane.exe", kNewUpdaterBytes, kTime2);
  StartServer();
  PrepareClient(Edition::kMEI, false);
  PlaceCurrentUpdater(Edition::kMEI);
  RecordingWindow& w = Run(Edition::kMEI, false);
  EXPECT_EQ(w.LastStatus(), "Atualizado! Reiniciando o Aplicativo...");
  EXPECT_EQ(env().HiddenCommandLines().size(), 1u);
  EXPECT_EQ(Client("C:\\Kavel\\MEI\\Selvane_new.exe"), kNewUpdaterBytes);
  // The signature was only for the check.
  EXPECT_EQ(ClientFiles(), (Texts{"Kavel/MEI/AtualizaSistema.bat", "Kavel/MEI/Selvane.exe",
                                  "Kavel/MEI/Selvane_new.exe", "Kavel/MEI/selvane.ini"}));
}

// A new updater without its valid signature is refused, on the first copy as
// on a replacement: the running updater stays, no batch, nothing restarts,
// nothing left.
TEST_F(SignedUpdaterTest, AnUpdaterWithoutItsValidSignatureIsNeverSwappedIn) {
  const std::string bad = "A assinatura de Selvane.exe não é válida: ";
  struct Case {
    const char* what;
    std::function<void()> serve;
    std::string text;
  };
  const std::vector<Case> cases = {
      {"changed after signing",
       [&] {
         AddSigned("updater/Selvane.exe", kNewUpdaterBytes, kTime2);
         repo_.Add("updater/Selvane.exe", TestUpdaterImage("updater build 2 tampered"), kTime2);
       },
       bad + "a assinatura não confere com o arquivo."},
      {"signed under another name",
       [&] {
         repo_.Add("updater/Selvane.exe", kNewUpdaterBytes, kTime2);
         repo_.Add("updater/Selvane.exe.sig", SignatureOf("updater/Selvane.exe", "Selvane_new.exe"), kTime2);
       },
       bad + "a assinatura não confere com o arquivo."},
      {"unsigned",
       [&] {
         repo_.Add("updater/Selvane.exe", kNewUpdaterBytes, kTime2);
         std::filesystem::remove(repo_.dir() + "/updater/Selvane.exe.sig");
       },
       bad + "não foi possível obter Selvane.exe.sig do servidor (Arquivo não encontrado no servidor: "
             "C:\\Kavel\\Servidor Atualizacao\\Cliente\\Selvane.exe.sig)."},
      {"extra bytes",
       [&] {
         AddSigned("updater/Selvane.exe", kNewUpdaterBytes, kTime2);
         repo_.Add("updater/Selvane.exe.sig", SignatureOf("updater/Selvane.exe") + "\n", kTime2);
       },
       bad + "o arquivo de assinatura tem bytes além dos 71 esperados."},
  };
  for (const bool first_copy : {false, true}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(::testing::Message() << c.what << (first_copy ? ", first copy" : ", replacement"));
      c.serve();
      StartServer();
      PrepareClient(Edition::kMEI, false);
      if (!first_copy) PlaceCurrentUpdater(Edition::kMEI);
      RecordingWindow& w = Run(Edition::kMEI, false);
      EXPECT_EQ(w.LastStatus(), c.text);
      ExpectRunningUpdaterKept(w, first_copy);
      conn_.reset();
      server_->Stop();
      std::filesystem::remove_all(root_.dir() + "/Kavel/MEI");
    }
  }
}

}  // namespace
}  // namespace selvane
