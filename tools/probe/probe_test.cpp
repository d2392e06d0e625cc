#include "probe.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "update-server/test_repository.h"
#include "update-server/update_server.h"

namespace selvane::probe {
namespace {

using refserver::kTime1;

class ProbeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    repo_.Add("ECF/VendraECF.exe", "ecf exe");
    repo_.Add("KVL/kvl.dat", "kvl data");
    repo_.Add("updater/Selvane.exe", "MZ");
    // The machine's side: a folder with the same VendraECF.exe.
    local_.Add("ECF/VendraECF.exe", "ecf exe");
    refserver::ServerOptions o;
    o.root = repo_.dir();
    o.port = 0;
    o.NumeroAtualizacao = 300;
    server_ = std::make_unique<refserver::UpdateServer>(o);
    server_->Start();
  }

  int Run(std::vector<std::string> args) {
    out_.str("");
    err_.str("");
    return RunProbe(args, out_, err_);
  }
  std::vector<std::string> Call(std::vector<std::string> method_and_args) {
    std::vector<std::string> a{"--host", "127.0.0.1", "--port", std::to_string(server_->port())};
    a.insert(a.end(), method_and_args.begin(), method_and_args.end());
    return a;
  }

  refserver::TestRepository repo_;
  refserver::TestRepository local_;
  std::unique_ptr<refserver::UpdateServer> server_;
  std::ostringstream out_, err_;
};

TEST_F(ProbeTest, PrintsTheUpdateNumber) {
  EXPECT_EQ(Run(Call({"GetNumeroAtualizacao"})), 0) << err_.str();
  EXPECT_EQ(out_.str(), "300\n");
}

TEST_F(ProbeTest, PrintsTheFetchListForALocalFolder) {
  EXPECT_EQ(Run(Call({"AtualizaPastaECF", local_.dir() + "/ECF"})), 0) << err_.str();
  EXPECT_EQ(out_.str(), "File\tFileDate\n(0 records)\n");
  EXPECT_EQ(Run(Call({"RecompoePastaKVL", local_.dir() + "/no-such-folder"})), 0) << err_.str();
  EXPECT_EQ(out_.str(), "File\tFileDate\nKVL\\kvl.dat\t2024-03-15 10:30:00\n(1 records)\n");
  EXPECT_EQ(Run(Call({"AtualizaAtualizador", local_.dir() + "/ECF/Selvane.exe"})), 0) << err_.str();
  EXPECT_EQ(out_.str(),
            "File\tFileDate\nC:\\Kavel\\Servidor Atualizacao\\Cliente\\Selvane.exe\t2024-03-15 10:30:00\n(1 records)\n");
}

TEST_F(ProbeTest, FetchesAFileIntoOutfile) {
  const std::string outfile = local_.dir() + "/kvl.out";
  EXPECT_EQ(Run(Call({"RetornaArquivo", "KVL\\kvl.dat", "300", outfile})), 0) << err_.str();
  EXPECT_THAT(out_.str(), ::testing::MatchesRegex("FileName\tkvl\\.dat\\.zip\nFileDate\t2024-03-15 10:30:00\n"
                                                  "Content\t[0-9]+ bytes\nunpacked into .*/kvl\\.out \\(8 bytes\\)\n"));
  std::ifstream in(outfile, std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "kvl data");
}

TEST_F(ProbeTest, FailuresGoToStandardErrorWithNonZeroStatus) {
  EXPECT_EQ(Run(Call({"RetornaArquivo", "KVL\\missing", "1", local_.dir() + "/x"})), 1);
  EXPECT_EQ(err_.str(), "Arquivo não encontrado no servidor: KVL\\missing\n");
  EXPECT_EQ(out_.str(), "");

  const uint16_t port = server_->port();
  server_->Stop();
  server_.reset();
  EXPECT_EQ(Run({"--host", "127.0.0.1", "--port", std::to_string(port), "GetNumeroAtualizacao"}), 1);
  EXPECT_EQ(err_.str(), "Socket Error # 10061\r\nConnection refused.\n");
}

TEST_F(ProbeTest, RefusesBadCommandLines) {
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"GetNumeroAtualizacao"},
           {"--host", "127.0.0.1"},
           {"--host", "127.0.0.1", "--port", "x", "GetNumeroAtualizacao"},
           {"--host", "127.0.0.1", "GetNumeroAtualizacao", "extra"},
           {"--host", "127.0.0.1", "RetornaArquivo", "a", "b", "c"},
           {"--host", "127.0.0.1", "AtualizaPastaECF"},
       }) {
    EXPECT_EQ(Run(args), 2) << args.back();
    EXPECT_NE(err_.str().find("usage: selvane-probe"), std::string::npos);
  }
  EXPECT_EQ(Run(Call({"AtualizaPastaXYZ", local_.dir()})), 1);
  EXPECT_EQ(err_.str(), "Unknown remote method: AtualizaPastaXYZ\n");
}

}  // namespace
}  // namespace selvane::probe
