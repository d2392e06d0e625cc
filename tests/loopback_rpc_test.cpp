// The client against the reference update server over loopback TCP: every
// remote method, values in parts in both directions, a refused login, and
// connections cut at any point.

#include <gtest/gtest.h>

#include <random>
#include <thread>

#include "loopback_server_fixture.h"
#include "platform/socket.h"
#include "rpc/rpc_connection.h"
#include "rpc/rpc_error.h"
#include "update-server/session.h"

namespace selvane {
namespace {

using refserver::kTime1;
using refserver::kTime2;

const double kWhen1 = DateTimeFromDosDateTime(kTime1);
const double kWhen2 = DateTimeFromDosDateTime(kTime2);

std::string RandomBytes(size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  std::string s(n, '\0');
  for (char& c : s) c = static_cast<char>(rng());
  return s;
}

TEST_F(LoopbackTest, EveryMethodGetsTheRepositorysAnswer) {
  repo_.Add("ECF/VendraECF.exe", "ecf exe");
  repo_.Add("ECF/rtl260.bpl", "runtime", kTime2);
  repo_.Add("KVL/kvl.dat", "kvl");
  repo_.Add("NFCE/VendraNFCE.exe", "nfce exe");
  repo_.Add("NFCE/Schemas/nfe_v4.00.xsd", "<xsd/>");
  repo_.Add("MEI/VendraMEI.exe", "mei exe");
  repo_.Add("updater/Selvane.exe", "MZ updater", kTime2);
  options_.NumeroAtualizacao = 300;
  StartServer();
  TServidorClient proxy(Open().DBXConnection());

  EXPECT_EQ(proxy.GetNumeroAtualizacao(), 300);

  struct Case {
    std::string_view method;
    std::vector<NameAndTime> listing;
    std::vector<NameAndTime> expected;
  };
  const std::vector<Case> cases{
      {"RecompoePastaECF", {}, {{"ECF\\VendraECF.exe", kWhen1}, {"ECF\\rtl260.bpl", kWhen2}}},
      {"AtualizaPastaECF", {{"vendraecf.exe", kWhen1}, {"rtl260.bpl", kWhen1}}, {{"ECF\\rtl260.bpl", kWhen2}}},
      {"RecompoePastaKVL", {}, {{"KVL\\kvl.dat", kWhen1}}},
      {"AtualizaPastaKVL", {{"kvl.dat", kWhen1}}, {}},
      {"RecompoePastaNFCE", {{"Other.txt", kWhen1}}, {{"NFCE\\VendraNFCE.exe", kWhen1}}},
      {"AtualizaPastaNFCE", {{"VendraNFCE.exe", kWhen1}}, {}},
      {"RecompoePastaSchemasNFCE", {}, {{"NFCE\\Schemas\\nfe_v4.00.xsd", kWhen1}}},
      {"AtualizaPastaSchemasNFCE", {{"nfe_v4.00.xsd", kWhen2}}, {{"NFCE\\Schemas\\nfe_v4.00.xsd", kWhen1}}},
      {"RecompoePastaDNF", {}, {{"MEI\\VendraMEI.exe", kWhen1}}},
      {"AtualizaPastaDNF", {{"VendraMEI.exe", kWhen1}}, {}},
      {"AtualizaAtualizador", {{"Selvane.exe", kWhen1}}, {{"C:\\Kavel\\Servidor Atualizacao\\Cliente\\Selvane.exe", kWhen2}}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FetchList(proxy.CallFolderMethod(c.method, Listing(c.listing))), c.expected) << c.method;
  }
  EXPECT_TRUE(FetchList(proxy.AtualizaAtualizador(Listing({{"Selvane.exe", kWhen2}}))).empty());

  // Every file handed out comes back with its content, its time and a container name of its own.
  const struct {
    std::string file;
    std::string content;
    double when;
  } files[] = {
      {"ECF\\rtl260.bpl", "runtime", kWhen2},
      {"NFCE\\Schemas\\nfe_v4.00.xsd", "<xsd/>", kWhen1},
      {"C:\\Kavel\\Servidor Atualizacao\\Cliente\\Selvane.exe", "MZ updater", kWhen2},
  };
  for (const auto& f : files) {
    const FileRecord r = Unpack(proxy.RetornaArquivo(f.file, 300));
    EXPECT_EQ(r.content, f.content) << f.file;
    EXPECT_EQ(r.date_time, f.when) << f.file;
    EXPECT_NE(r.file_name, f.file.substr(f.file.rfind('\\') + 1)) << f.file;
  }
  EXPECT_EQ(proxy.command_count(), 13u);
}

TEST_F(LoopbackTest, OpeningReadsTheServersConnectReplyAndMetadataRow) {
  StartServer();
  const TRpcConnection& c = *Open().DBXConnection();
  EXPECT_EQ(c.connection_handle(), 1);
  EXPECT_EQ(c.GetProductName(), refserver::kProductName);
  EXPECT_EQ(c.protocol_version(), refserver::kProtocolVersion);
  const TRpcDatabaseMetaData& m = c.GetDatabaseMetaData();
  EXPECT_EQ(m.meta_data_version, "4.0");
  EXPECT_EQ(m.QuoteChar, "\"");
  EXPECT_EQ(m.QuoteSuffix, "\"");
  EXPECT_FALSE(m.SupportsRowSetSize);
  EXPECT_EQ(m.SupportsParameterMetadata, true);
  EXPECT_EQ(m.SupportsCatalogs, std::nullopt);
}

TEST_F(LoopbackTest, UnknownFilesFailTheCallAndTheConnectionGoesOn) {
  repo_.Add("ECF/VendraECF.exe", "ecf exe");
  StartServer();
  TServidorClient proxy(Open().DBXConnection());
  for (std::string path : {"ECF\\Missing.exe", "..\\..\\etc\\passwd", "ECF\\..\\updater\\Selvane.exe"}) {
    try {
      proxy.RetornaArquivo(path, 1);
      ADD_FAILURE() << path;
    } catch (const TRpcError& e) {
      EXPECT_EQ(std::string(e.what()), "Arquivo não encontrado no servidor: " + path);
    }
  }
  EXPECT_EQ(Unpack(proxy.RetornaArquivo("ECF\\VendraECF.exe", 1)).content, "ecf exe");
}

// Results above 65,535 bytes come in parts, in both forms a server may use,
// and a listing above that size goes up in parts that the server asks for.
class LoopbackPartsTest : public LoopbackTest, public ::testing::WithParamInterface<bool> {};

TEST_P(LoopbackPartsTest, LargeValuesTravelInParts) {
  const std::string big = RandomBytes(300000, 1);
  repo_.Add("MEI/big.bin", big);
  repo_.Add("MEI/small.txt", "small");
  options_.blob_header = GetParam();
  options_.part_size = 40000;
  StartServer();
  TServidorClient proxy(Open().DBXConnection());

  for (int round = 0; round < 2; ++round) {  // the same command, executed again
    const FileRecord r = Unpack(proxy.RetornaArquivo("MEI\\big.bin", 1));
    EXPECT_EQ(r.content, big);
    EXPECT_EQ(r.file_name, "big.bin.zip");
  }

  std::vector<NameAndTime> listing;
  for (int i = 0; i < 3000; ++i) listing.push_back({"local-file-" + std::to_string(i) + ".dat", kWhen1});
  listing.push_back({"small.txt", kWhen1});
  EXPECT_EQ(FetchList(proxy.AtualizaPastaDNF(Listing(listing))), (std::vector<NameAndTime>{{"MEI\\big.bin", kWhen1}}));
}

INSTANTIATE_TEST_SUITE_P(InlineFirstPartOrBlobHeader, LoopbackPartsTest, ::testing::Bool());

TEST_F(LoopbackTest, AWrongPasswordFailsTheOpeningWithTheServersMessage) {
  StartServer();
  auto c = NewConnection();
  c->Params.Set("DSAuthenticationPassword", "#Quintabel*604282");
  try {
    c->Open();
    ADD_FAILURE() << "opened";
  } catch (const TRpcError& e) {
    EXPECT_EQ(std::string(e.what()), refserver::kAuthFailedMessage);
    EXPECT_EQ(e.ErrorCode(), refserver::kAuthFailedCode);
  }
  EXPECT_EQ(c->State(), csStateClosed);
  EXPECT_EQ(c->DBXConnection(), nullptr);
}

// A server that closes the socket part-way through a reply: the client never
// hangs, and the server serves the next client. The data module's reads are
// time-limited, and a limited read that fails for any reason raises its
// limit's text.
class LoopbackDropTest : public LoopbackTest, public ::testing::WithParamInterface<int64_t> {};

TEST_P(LoopbackDropTest, AReplyCutShortEndsTheCallWithTheLimitedReadsText) {
  repo_.Add("ECF/big.bin", RandomBytes(200000, 2));
  options_.drop_after_bytes = GetParam();
  options_.part_size = 50000;
  StartServer();
  {
    TServidorClient proxy(Open().DBXConnection());
    EXPECT_EQ(proxy.GetNumeroAtualizacao(), 1);
    try {
      proxy.RetornaArquivo("ECF\\big.bin", 1);
      ADD_FAILURE() << "the reply arrived whole";
    } catch (const std::exception& e) {
      EXPECT_EQ(std::string(e.what()), "Communication timeout error");
    }
  }
  conn_.reset();
  options_.drop_after_bytes = -1;
  auto next = NewConnection();
  next->Open();
  TServidorClient proxy(next->DBXConnection());
  EXPECT_EQ(proxy.GetNumeroAtualizacao(), 1);
}

// In the reply head, in the inline first part, in a later part.
INSTANTIATE_TEST_SUITE_P(CutPoints, LoopbackDropTest, ::testing::Values(0, 5, 40000, 120000));

TEST_F(LoopbackTest, ClientsThatDisconnectAnywhereLeaveTheServerServing) {
  repo_.Add("ECF/a.txt", "a");
  StartServer();
  // A whole conversation: handshake, connect, prepare, execute.
  const std::string login = std::string(5, '\x05') +
                            R"({"method":"connect","params":[{"DSAuthenticationPassword":"#Quintabel*604281",)"
                            R"("DSAuthenticationUser":"Oltrane"}]})";
  const std::string call = R"({"method":"prepare","params":[-1,false,"DataSnap.ServerMethod","TServidor.RetornaArquivo"]})"
                           R"({"method":"execute","params":[{"handle":[0]},{"data":[14,)"
                           "\x29"
                           R"(ECF\a.txt)"
                           "\x62\x01\x2C\xC0]}]}";
  const std::string all = login + call;
  int ended = 0;
  for (size_t cut : {size_t{0}, size_t{3}, size_t{5}, size_t{40}, login.size(), login.size() + 30, all.size() - 3,
                     all.size()}) {
    auto s = ConnectTcp({.host = "127.0.0.1", .port = server_->port()});
    s->WriteAll({reinterpret_cast<const uint8_t*>(all.data()), cut});
    if (cut > 5) {
      uint8_t b[16];
      s->Read(b);  // the server answered at least the handshake: it saw the bytes
    }
    s->Close();
    ++ended;
  }
  // Every one of those sessions ends on its own; the next client is served.
  for (int i = 0; i < 500 && server_->FinishedSessions() < ended; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_EQ(server_->FinishedSessions(), ended);
  TServidorClient proxy(Open().DBXConnection());
  EXPECT_EQ(Unpack(proxy.RetornaArquivo("ECF\\a.txt", 1)).content, "a");
}

TEST_F(LoopbackTest, FaultOptionsShapeTheFileRecord) {
  repo_.Add("KVL/data.bin", "payload");
  options_.same_name_container = true;
  options_.repository.full_paths = true;
  options_.repository.extra_entries = {"..\\evil.exe"};
  StartServer();
  TServidorClient proxy(Open().DBXConnection());
  EXPECT_EQ(FetchList(proxy.RecompoePastaKVL(Listing({}))),
            (std::vector<NameAndTime>{{"C:\\Kavel\\Servidor Atualizacao\\KVL\\data.bin", kWhen1},
                                      {"..\\evil.exe", DateTimeFromDosDateTime({(40 << 9) | (1 << 5) | 1, 0})}}));
  const FileRecord r = Unpack(proxy.RetornaArquivo("C:\\Kavel\\Servidor Atualizacao\\KVL\\data.bin", 1));
  EXPECT_EQ(r.file_name, "data.bin");
  EXPECT_EQ(r.content, "payload");
  EXPECT_EQ(Unpack(proxy.RetornaArquivo("..\\evil.exe", 1)).content, "extra entry\r\n");
}

TEST_F(LoopbackTest, ATruncatedContainerDoesNotUnpack) {
  repo_.Add("KVL/data.bin", RandomBytes(5000, 3));
  options_.truncate_container = true;
  StartServer();
  TServidorClient proxy(Open().DBXConnection());
  // The record arrives whole; the container in it ends before its data does.
  const OleVariant record = proxy.RetornaArquivo("KVL\\data.bin", 1);
  try {
    Unpack(record);
    ADD_FAILURE() << "a truncated container unpacked";
  } catch (const EReadError& e) {
    EXPECT_STREQ(e.what(), "Stream read error");
  }
}

TEST_F(LoopbackTest, ClientsAreServedAtTheSameTime) {
  const std::string big = RandomBytes(150000, 4);
  repo_.Add("NFCE/big.bin", big);
  options_.part_size = 30000;
  StartServer();
  auto worker = [&](int calls, std::string* failure) {
    try {
      auto c = NewConnection();
      c->Open();
      TServidorClient proxy(c->DBXConnection());
      for (int i = 0; i < calls; ++i) {
        if (Unpack(proxy.RetornaArquivo("NFCE\\big.bin", 1)).content != big) *failure = "wrong content";
        if (proxy.GetNumeroAtualizacao() != 1) *failure = "wrong number";
      }
    } catch (const std::exception& e) {
      *failure = e.what();
    }
  };
  std::string f1, f2, f3;
  std::thread t1(worker, 5, &f1), t2(worker, 5, &f2), t3(worker, 5, &f3);
  t1.join();
  t2.join();
  t3.join();
  EXPECT_EQ(f1 + f2 + f3, "");
}

TEST_F(LoopbackTest, StoppingTheServerCutsConnectedClients) {
  StartServer();
  TServidorClient proxy(Open().DBXConnection());
  EXPECT_EQ(proxy.GetNumeroAtualizacao(), 1);
  server_->Stop();  // returns although a client is still connected
  try {
    proxy.GetNumeroAtualizacao();
    ADD_FAILURE() << "answered after stop";
  } catch (const std::exception& e) {
    EXPECT_EQ(std::string(e.what()), "Communication timeout error");  // a limited read's text
  }
}

}  // namespace
}  // namespace selvane
