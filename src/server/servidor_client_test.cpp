#include "server/servidor_client.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/byte_order.h"
#include "rpc/rpc_command.h"
#include "rpc/rpc_error.h"
#include "server/test_server_script.h"

namespace selvane {
namespace {

using testing_support::ClientFixture;
using testing_support::Script;

const char kPrepareNumero[] =
    "{\"method\":\"prepare\",\"params\":[-1,false,\"DataSnap.ServerMethod\",\"TServidor.GetNumeroAtualizacao\"]}";
const char kNumeroParams[] =
    "{\"result\":[{\"handle\":[1]},{\"parameters\":[1,[6,0,4,0,0,\"ReturnParameter\",0,4,0]]}]}";
const char kFolderParams[] =
    "{\"result\":[{\"handle\":[2]},{\"parameters\":[2,[35,0,1,0,0,\"CDSCliente\",0,0,0],"
    "[35,0,4,0,0,\"ReturnParameter\",0,0,0]]}]}";
const char kArquivoParams[] =
    "{\"result\":[{\"handle\":[3]},{\"fields\":[1,false]},{\"parameters\":[3,[26,0,1,0,0,\"arquivo\",0,0,0],"
    "[6,0,1,0,0,\"NumeroAtualizacao\",0,4,0],[35,0,4,0,0,\"ReturnParameter\",0,0,0]]}]}";

Bytes Packet(size_t n, uint8_t seed = 1) {
  Bytes b(n);
  for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(seed + i * 31);
  return b;
}

// The variant stream of a packet: tag 3, 64-bit little-endian count, bytes.
Bytes VariantStreamOf(const Bytes& packet) {
  Bytes s{0x03};
  AppendLe64(s, packet.size());
  s.insert(s.end(), packet.begin(), packet.end());
  return s;
}

struct ProxyFixture : ClientFixture {
  ProxyFixture() { Open(); }
  TRpcConnection* rpc() { return connection.DBXConnection(); }
  // A RetornaArquivo command of our own, prepared against the server's parameter list.
  std::unique_ptr<TRpcCommand> PreparedRetornaArquivo() {
    auto command = rpc()->CreateCommand();
    command->SetCommandType("DataSnap.ServerMethod");
    command->SetText("TServidor.RetornaArquivo");
    channel.Feed(kArquivoParams);
    command->Prepare();
    return command;
  }
};

TEST(ServidorClient, RefusesAMissingConnection) {
  try {
    TServidorClient client(nullptr);
    FAIL();
  } catch (const TRpcError& e) {
    EXPECT_STREQ(e.what(), "Connection cannot be nil.  Make sure the connection has been opened.");
  }
}

TEST(ServidorClient, AProxyWithoutCallsCreatesAndClosesNothing) {
  ProxyFixture f;
  { TServidorClient client(f.rpc()); }
  EXPECT_EQ(f.Written(), "");
}

TEST(ServidorClient, GetNumeroAtualizacaoPreparesExecutesAndCloses) {
  ProxyFixture f;
  {
    TServidorClient client(f.rpc());
    f.channel.Feed(kNumeroParams);
    f.channel.Feed(Script().operator<<("{\"result\":[{\"data\":[2,").operator<<(Bytes{0x61, 0x2A}).operator<<("]}]}").bytes());
    EXPECT_EQ(client.GetNumeroAtualizacao(), 42);
    const std::string expected = std::string(kPrepareNumero) +
                                 "{\"method\":\"execute\",\"params\":[{\"handle\":[1]},{\"data\":[1,\xC0]}]}";
    EXPECT_EQ(f.Written(), expected);
    f.channel.ClearWritten();
  }
  EXPECT_EQ(f.Written(), "{\"method\":\"command_close\",\"params\":[1]}");
}

TEST(ServidorClient, PreparesOncePerProxyAndExecutesEveryCall) {
  ProxyFixture f;
  TServidorClient client(f.rpc());
  EXPECT_EQ(client.command_count(), 0u);
  f.channel.Feed(kNumeroParams);
  Script replies;
  replies << "{\"result\":[{\"data\":[1,`]}]}"   // 0x60: zero
          << "{\"result\":[{\"data\":[1,\xC0]}]}";  // null: keeps the value read before
  f.channel.Feed(replies.bytes());
  EXPECT_EQ(client.GetNumeroAtualizacao(), 0);
  EXPECT_EQ(client.GetNumeroAtualizacao(), 0);
  const std::string w = f.Written();
  EXPECT_EQ(w.find(kPrepareNumero), 0u);
  EXPECT_EQ(w.find("\"prepare\"", 20), std::string::npos);
  EXPECT_EQ(client.command_count(), 1u);
}

TEST(ServidorClient, RetornaArquivoRowIsThirteenBytes) {
  ProxyFixture f;
  TServidorClient client(f.rpc());
  const Bytes record = Packet(40);
  Script reply;
  Bytes row{0xC0, 0x62, 0x01, 0x2C};
  Bytes field{0x10, 0x00, static_cast<uint8_t>(VariantStreamOf(record).size())};
  const Bytes vs = VariantStreamOf(record);
  field.insert(field.end(), vs.begin(), vs.end());
  row.insert(row.end(), field.begin(), field.end());
  f.channel.Feed(kArquivoParams);
  f.channel.Feed((Script() << "{\"result\":[{\"rows\":[0]},").Data(row).operator<<("]}").bytes());
  const OleVariant v = client.RetornaArquivo("C:\\A.zip", 300);
  EXPECT_EQ(v.bytes(), record);
  const Bytes expected_row{0x28, 'C', ':', '\\', 'A', '.', 'z', 'i', 'p', 0x62, 0x01, 0x2C, 0xC0};
  Script expected;
  expected << "{\"method\":\"prepare\",\"params\":[-1,false,\"DataSnap.ServerMethod\",\"TServidor.RetornaArquivo\"]}"
           << "{\"method\":\"execute\",\"params\":[{\"handle\":[3]},{\"data\":[13," << expected_row << "]}]}";
  EXPECT_EQ(f.Written(), expected.text());
}

TEST(ServidorClient, FolderMethodSendsThe312ByteFieldOfA300BytePacket) {
  ProxyFixture f;
  TServidorClient client(f.rpc());
  const Bytes packet = Packet(300), answer = Packet(20, 9);
  f.channel.Feed(kFolderParams);
  Bytes row{0xC0, 0x10, 0x00, 29};
  const Bytes vs = VariantStreamOf(answer);
  row.insert(row.end(), vs.begin(), vs.end());
  f.channel.Feed((Script() << "{\"result\":[").Data(row).operator<<("]}").bytes());
  EXPECT_EQ(client.AtualizaPastaECF(OleVariant::FromBytes(packet)).bytes(), answer);

  Script expected;
  expected << "{\"method\":\"prepare\",\"params\":[-1,false,\"DataSnap.ServerMethod\",\"TServidor.AtualizaPastaECF\"]}"
           << "{\"method\":\"execute\",\"params\":[{\"handle\":[2]},{\"data\":[313,"
           << Bytes{0x10, 0x01, 0x35, 0x03, 0x2C, 0x01, 0, 0, 0, 0, 0, 0} << packet << Bytes{0xC0} << "]}]}";
  EXPECT_EQ(f.Written(), expected.text());
}

TEST(ServidorClient, EveryFolderMethodByNameAndItsRemoteName) {
  const char* names[] = {"AtualizaPastaECF",        "RecompoePastaECF",         "AtualizaPastaKVL",
                         "RecompoePastaKVL",        "AtualizaPastaNFCE",        "RecompoePastaNFCE",
                         "AtualizaPastaSchemasNFCE", "RecompoePastaSchemasNFCE", "AtualizaPastaDNF",
                         "RecompoePastaDNF",        "AtualizaAtualizador"};
  for (const char* name : names) {
    ProxyFixture f;
    TServidorClient client(f.rpc());
    f.channel.Feed(kFolderParams);
    f.channel.Feed("{\"result\":[{\"data\":[2,\xC0\xC0]}]}");
    EXPECT_TRUE(client.CallFolderMethod(name, OleVariant::FromBytes({1})).IsNull());
    EXPECT_NE(f.Written().find(std::string("\"TServidor.") + name + "\""), std::string::npos) << name;
  }
  ProxyFixture f;
  TServidorClient client(f.rpc());
  try {
    client.CallFolderMethod("GetNumeroAtualizacao", OleVariant::Null());
    FAIL();
  } catch (const TRpcError& e) {
    EXPECT_STREQ(e.what(), "Unknown remote method: GetNumeroAtualizacao");
  }
  EXPECT_EQ(f.Written(), "");
}

TEST(ServidorClient, NullPacketArgumentIsANullField) {
  ProxyFixture f;
  TServidorClient client(f.rpc());
  f.channel.Feed(kFolderParams);
  f.channel.Feed("{\"result\":[{\"data\":[2,\xC0\xC0]}]}");
  client.AtualizaPastaKVL(OleVariant::Null());
  EXPECT_NE(f.Written().find("{\"data\":[2,\xC0\xC0]}"), std::string::npos);
}

TEST(ServidorClient, StreamOf65536BytesSendsItsLastByteOnTheServersRequest) {
  ProxyFixture f;
  TServidorClient client(f.rpc());
  const Bytes packet = Packet(65536 - 9);  // a 65,536-byte variant stream
  const Bytes vs = VariantStreamOf(packet);
  f.channel.Feed(kFolderParams);
  f.channel.Feed("{\"more_blob\":[2,1,0,0,0]}");
  f.channel.Feed("{\"result\":[{\"data\":[2,\xC0\xC0]}]}");
  client.RecompoePastaECF(OleVariant::FromBytes(packet));
  Script expected;
  expected << "{\"method\":\"execute\",\"params\":[{\"handle\":[2]},{\"data\":[65539,"
           << Bytes{0x50, 0xFF, 0xFF} << Bytes(vs.begin(), vs.end() - 1) << Bytes{0xC0} << "]}]}"
           << "{\"data\":[-1       ," << Bytes{vs.back()} << "]}";
  const std::string w = f.Written();
  const std::string e = expected.text();
  ASSERT_GE(w.size(), e.size());
  EXPECT_TRUE(w.substr(w.size() - e.size()) == e);
}

TEST(ServidorClient, StreamOf65535BytesGoesWhole) {
  ProxyFixture f;
  TServidorClient client(f.rpc());
  const Bytes packet = Packet(65535 - 9);
  f.channel.Feed(kFolderParams);
  f.channel.Feed("{\"result\":[{\"data\":[2,\xC0\xC0]}]}");
  client.RecompoePastaECF(OleVariant::FromBytes(packet));
  EXPECT_NE(f.Written().find(std::string("{\"data\":[65539,\x10\xFF\xFF\x03", 18)), std::string::npos);
}

TEST(ServidorClient, LaterPartsAnsweredAsAskedUntilTheLast) {
  ProxyFixture f;
  f.connection.Params.Set("BufferKBSize", "1");  // parts of 1024 - 21 bytes
  f.connection.Close();
  f.Open();
  TServidorClient client(f.rpc());
  const Bytes packet = Packet(67000);
  const Bytes vs = VariantStreamOf(packet);
  f.channel.Feed(kFolderParams);
  // Inline space is 1024 with this small buffer: 67009 - 1024 = 65985 bytes later.
  size_t rest = vs.size() - 1024;
  size_t requests = 0;
  while (true) {
    f.channel.Feed("{\"more_blob\":[2,1,0,0,0]}");
    ++requests;
    if (rest <= 1003) break;
    rest -= 1003;
  }
  f.channel.Feed("{\"more_blob\":[2,1,0,0,0]}");  // asked again after the last: count 0
  f.channel.Feed("{\"result\":[{\"data\":[2,\xC0\xC0]}]}");
  client.AtualizaPastaNFCE(OleVariant::FromBytes(packet));
  const std::string w = f.Written();
  // One answer per request: full parts, then the last one (negative length),
  // then the empty part asked for after it.
  auto count = [&w](const std::string& what) {
    size_t n = 0;
    for (size_t at = w.find(what); at != std::string::npos; at = w.find(what, at + 1)) ++n;
    return n;
  };
  EXPECT_EQ(count("{\"data\":[1003     ,"), requests - 1);
  EXPECT_EQ(count("{\"data\":[-" + std::to_string(rest) + " "), 1u);
  EXPECT_EQ(count("{\"data\":[0        ,]}"), 1u);
  EXPECT_EQ(count("{\"data\":["), requests + 2) << "the inline first part and one answer per request";
  EXPECT_EQ(f.channel.pending(), 0u);
}

TEST(ServidorClient, SegmentedResultInBothServerForms) {
  struct Case {
    const char* name;
    bool blob_header;
  };
  for (const Case& c : {Case{"0x50 with an inline part", false}, Case{"blob header 0x08", true}}) {
    SCOPED_TRACE(c.name);
    ProxyFixture f;
    TServidorClient client(f.rpc());
    const Bytes packet = Packet(70000, 3);
    const Bytes vs = VariantStreamOf(packet);
    Bytes row{0xC0};
    size_t sent = 0;
    if (c.blob_header) {
      const uint32_t n = static_cast<uint32_t>(vs.size());
      row.push_back(0x08);
      AppendBigEndian(row, n, 4);
    } else {
      row.insert(row.end(), {0x50, 0x01, 0x00});
      row.insert(row.end(), vs.begin(), vs.begin() + 256);
      sent = 256;
    }
    f.channel.Feed(kFolderParams);
    f.channel.Feed((Script() << "{\"result\":[").Data(row).operator<<("]}").bytes());
    // Parts hold braces and brackets among their bytes; the last part's count is negative.
    const size_t first = 40000;
    f.channel.Feed((Script() << "{\"result\":[{\"data\":[" << std::to_string(first) << ","
                             << Bytes(vs.begin() + sent, vs.begin() + sent + first) << "]}]}")
                       .bytes());
    sent += first;
    f.channel.Feed((Script() << "{\"result\":[{\"data\":[-" << std::to_string(vs.size() - sent) << ","
                             << Bytes(vs.begin() + sent, vs.end()) << "]}]}")
                       .bytes());
    f.channel.ClearWritten();
    EXPECT_EQ(client.AtualizaPastaDNF(OleVariant::FromBytes({1})).bytes(), packet);
    const std::string w = f.Written();
    const std::string more = "{\"method\":\"more_blob\",\"params\":[2,1,0,1,true,0]}";
    EXPECT_EQ(w.substr(w.size() - 2 * more.size()), more + more);
    EXPECT_EQ(f.channel.pending(), 0u);
  }
}

TEST(ServidorClient, BlobHandlesCountOnAcrossExecutes) {
  ProxyFixture f;
  TServidorClient client(f.rpc());
  f.channel.Feed(kFolderParams);
  const Bytes vs = VariantStreamOf(Packet(3));
  for (int call = 0; call < 2; ++call) {
    f.channel.Feed((Script() << "{\"result\":[{\"data\":[6," << Bytes{0xC0, 0x08, 0, 0, 0, 12} << "]}]}").bytes());
    f.channel.Feed((Script() << "{\"result\":[{\"data\":[-12," << vs << "]}]}").bytes());
  }
  client.AtualizaPastaECF(OleVariant::FromBytes({1}));
  client.AtualizaPastaECF(OleVariant::FromBytes({1}));
  const std::string w = f.Written();
  EXPECT_NE(w.find("\"params\":[2,1,0,1,true,0]"), std::string::npos);
  EXPECT_NE(w.find("\"params\":[2,2,0,1,true,0]"), std::string::npos);
}

TEST(ServidorClient, ErrorRepliesBecomeTRpcErrors) {
  struct Case {
    std::string reply;
    std::string message;
    int32_t code;
  };
  const Case cases[] = {
      {"{\"error\":{\"name\":\"E\",\"code\":9}", "unknown error", 9},
      {"{\"error\":{\"message\":\"Arquivo n\xE3o encontrado\"}", "Arquivo n\xC3\xA3o encontrado", 2},
      {"{\"error\":{\"message\":\"\",\"code\":12}", "RPC Error:  Invalid username or password", 12},
      {"{\"error\":{\"message\":\"\",\"code\":55}", "RPC Error:  Error Code:  55", 55},
      {"{\"error\":{\"error\":{\"x\":\"}\"},\"message\":\"m\",\"code\":-3}", "m", -3},
  };
  for (const Case& c : cases) {
    ProxyFixture f;
    TServidorClient client(f.rpc());
    f.channel.Feed(kNumeroParams);
    f.channel.Feed(c.reply);
    // Consumed to the inner closing brace: the next reply reads cleanly.
    f.channel.Feed("{\"result\":[{\"data\":[2,a\x07]}]}");
    try {
      client.GetNumeroAtualizacao();
      ADD_FAILURE() << c.reply;
    } catch (const TRpcError& e) {
      EXPECT_EQ(e.what(), c.message);
      EXPECT_EQ(e.ErrorCode(), c.code);
    }
    EXPECT_EQ(client.GetNumeroAtualizacao(), 7);
  }
}

TEST(ServidorClient, PrepareErrorLeavesTheMethodUnprepared) {
  ProxyFixture f;
  TServidorClient client(f.rpc());
  f.channel.Feed("{\"error\":{\"message\":\"Method not found\"}");
  EXPECT_THROW(client.GetNumeroAtualizacao(), TRpcError);
  EXPECT_EQ(client.command_count(), 0u);
}

TEST(ServidorClient, EmptyResultArrayIsAcceptedAndChangesNothing) {
  ProxyFixture f;
  TServidorClient client(f.rpc());
  f.channel.Feed(kNumeroParams);
  f.channel.Feed("{\"result\":[{\"data\":[2,a\x05]}]}{\"result\":[]}");
  EXPECT_EQ(client.GetNumeroAtualizacao(), 5);
  // No row came back: there is no field to read.
  EXPECT_THROW(client.GetNumeroAtualizacao(), TRpcError);
}

TEST(ServidorClient, ServerRequestsDuringAnExecute) {
  ProxyFixture f;
  TServidorClient client(f.rpc());
  f.channel.Feed(kNumeroParams);
  f.channel.Feed("{\"metadata\":[9,{\"a\":\"b\"}]}{\"callback\":[2,{}]}{\"result\":[{\"session\":[true,2,\"s\"]},"
                 "{\"unknown\":[1,{\"x\":2}]},{\"data\":[2,a\x03]}]}");
  EXPECT_EQ(client.GetNumeroAtualizacao(), 3);
  EXPECT_NE(f.Written().find("{\"error\":{\"name\":\"TRpcError\",\"code\":0,\"message\":"), std::string::npos);
  EXPECT_EQ(f.rpc()->isolation_level(), 2);

  f.channel.Feed("{\"metadata\":[3,{x}]}");
  try {
    client.GetNumeroAtualizacao();
    FAIL();
  } catch (const TRpcError& e) {
    EXPECT_STREQ(e.what(), "Cannot parse properly the metadata value");
  }
}

TEST(ServidorClient, InputWithoutValueFailsBeforeAnythingIsSent) {
  ProxyFixture f;
  auto command = f.PreparedRetornaArquivo();
  f.channel.ClearWritten();
  command->Parameter(0).SetWideString("x");
  try {
    command->ExecuteUpdate();
    FAIL();
  } catch (const TRpcError& e) {
    EXPECT_STREQ(e.what(), "Parameter not set for column number 1");
    EXPECT_EQ(e.ErrorCode(), 11);
  }
  EXPECT_EQ(f.Written(), "");
  try {
    command->Prepare();
    FAIL();
  } catch (const TRpcError& e) {
    EXPECT_STREQ(e.what(), "Command can only be prepared once");
  }
}

TEST(ServidorClient, SyntaxErrorInAReplyIsRaisedWithCodeTwo) {
  ProxyFixture f;
  TServidorClient client(f.rpc());
  f.channel.Feed("{\"reslut\":[]}");
  try {
    client.GetNumeroAtualizacao();
    FAIL();
  } catch (const TRpcError& e) {
    EXPECT_EQ(std::string(e.what()).rfind("Expected:  'result at position:  ", 0), 0u);
    EXPECT_EQ(e.ErrorCode(), 2);
  }
}

TEST(ServidorClient, DestroyingTheProxyClosesEachCommandOnce) {
  ProxyFixture f;
  {
    TServidorClient client(f.rpc());
    f.channel.Feed(kNumeroParams);
    f.channel.Feed("{\"result\":[{\"data\":[1,`]}]}");
    client.GetNumeroAtualizacao();
    f.channel.Feed(kFolderParams);
    f.channel.Feed("{\"result\":[{\"data\":[2,\xC0\xC0]}]}");
    client.AtualizaPastaECF(OleVariant::FromBytes({1}));
    f.channel.ClearWritten();
  }
  EXPECT_EQ(f.Written(), "{\"method\":\"command_close\",\"params\":[1]}{\"method\":\"command_close\",\"params\":[2]}");
  f.channel.ClearWritten();
  f.connection.Close();
  EXPECT_EQ(f.Written(), "{\"method\":\"disconnect\",\"params\":[1]}");
}

// How a server may hand back RetornaArquivo's result: the replies after the
// prepare, as the script of one call.
struct ResultForm {
  const char* what;
  std::vector<Bytes> replies;
};

Bytes ExecuteReply(const Bytes& result_field) {
  Bytes row{0xC0, 0xC0};
  row.insert(row.end(), result_field.begin(), result_field.end());
  return (Script() << "{\"result\":[").Data(row).operator<<("]}").bytes();
}

Bytes PartReply(int64_t count, ByteSpan bytes) {
  return (Script() << "{\"result\":[{\"data\":[" << std::to_string(count) << "," << Bytes(bytes.begin(), bytes.end())
                   << "]}]}")
      .bytes();
}

std::vector<ResultForm> ResultForms() {
  const Bytes vs = VariantStreamOf(Packet(70000, 9));
  const ByteSpan all(vs);
  auto inline_field = [](ByteSpan b) {
    Bytes f{0x10};
    AppendBigEndian(f, b.size(), 2);
    f.insert(f.end(), b.begin(), b.end());
    return f;
  };
  Bytes segmented{0x50, 0x01, 0x00};
  segmented.insert(segmented.end(), vs.begin(), vs.begin() + 256);
  Bytes blob_header{0x08};
  AppendBigEndian(blob_header, vs.size(), 4);
  const size_t rest = vs.size() - 256;
  const Bytes small_vs = VariantStreamOf(Packet(300));
  const Bytes null_vs{0x02, 0x01, 0x00};
  Bytes count_zero{0x03};
  AppendLe64(count_zero, 0);
  return {
      {"inline", {ExecuteReply(inline_field(small_vs))}},
      {"a null field", {ExecuteReply({0xC0})}},
      {"a Null variant", {ExecuteReply(inline_field(null_vs))}},
      {"a count of zero", {ExecuteReply(inline_field(count_zero))}},
      {"inline part, then parts",
       {ExecuteReply(segmented), PartReply(40000, all.subspan(256, 40000)),
        PartReply(-static_cast<int64_t>(rest - 40000), all.subspan(256 + 40000))}},
      {"blob header, then parts",
       {ExecuteReply(blob_header), PartReply(30000, all.first(30000)),
        PartReply(-static_cast<int64_t>(vs.size() - 30000), all.subspan(30000))}},
      {"an empty last part",
       {ExecuteReply(segmented), PartReply(static_cast<int64_t>(rest), all.subspan(256)), PartReply(0, {})}},
      {"fewer bytes than the count",
       {ExecuteReply(segmented), PartReply(-100, all.subspan(256, 100))}},
  };
}

// The streaming RetornaArquivo writes the very bytes of the gathering one and
// hands over the same packet, or the same variant when there is none.
TEST(ServidorClient, StreamingRetornaArquivoIsTheSameCallOnTheWire) {
  for (const ResultForm& form : ResultForms()) {
    SCOPED_TRACE(form.what);
    struct Run {
      std::string written;
      Bytes packet;
      std::optional<OleVariant> variant;
      std::string error;
      size_t pieces = 0;
    };
    auto run = [&form](bool streaming) {
      ProxyFixture f;
      Run r;
      {
        TServidorClient client(f.rpc());
        f.channel.Feed(kArquivoParams);
        for (const Bytes& reply : form.replies) f.channel.Feed(reply);
        try {
          if (streaming) {
            r.variant = client.RetornaArquivo("C:\\A.zip", 300, [&r](std::span<const uint8_t> piece) {
              r.packet.insert(r.packet.end(), piece.begin(), piece.end());
              ++r.pieces;
            });
          } else {
            OleVariant v = client.RetornaArquivo("C:\\A.zip", 300);
            if (v.IsByteArray()) {
              r.packet = v.bytes();
            } else {
              r.variant = v;
            }
          }
        } catch (const std::exception& e) {
          r.error = e.what();
        }
        EXPECT_EQ(f.channel.pending(), 0u);
      }
      r.written = f.Written();
      return r;
    };
    const Run gathered = run(false);
    const Run streamed = run(true);
    EXPECT_EQ(streamed.written, gathered.written);
    EXPECT_EQ(streamed.error, gathered.error);
    // Pieces go on before the end shows a stream short of its count; the failure is the same.
    if (gathered.error.empty()) {
      EXPECT_TRUE(streamed.packet == gathered.packet);
    }
    ASSERT_EQ(streamed.variant.has_value(), gathered.variant.has_value());
    if (gathered.variant) {
      EXPECT_EQ(streamed.variant->IsNull(), gathered.variant->IsNull());
      EXPECT_EQ(streamed.variant->IsByteArray(), gathered.variant->IsByteArray());
    }
    if (streamed.packet.size() > 1000) {
      EXPECT_GT(streamed.pieces, 1u);  // handed on as it came
    }
  }
}

// A server that keeps sending positive parts cannot hold the client: it stops
// asking after the limit, with a clear text.
TEST(ServidorClient, AValueInTooManyPartsEndsTheReadingAtTheLimit) {
  ProxyFixture f;
  auto command = f.PreparedRetornaArquivo();
  command->Parameter(0).SetWideString("a");
  command->Parameter(1).SetInt32(1);
  f.channel.Feed(ExecuteReply({0x08, 0, 0, 0, 100}));
  const Bytes one{0x03};
  for (int i = 0; i < 10; ++i) f.channel.Feed(PartReply(1, one));
  command->ExecuteUpdate();
  f.channel.ClearWritten();
  size_t bytes = 0;
  try {
    command->Parameter(2).ReadStream([&bytes](std::span<const uint8_t> p) { bytes += p.size(); }, 4);
    ADD_FAILURE();
  } catch (const TRpcError& e) {
    EXPECT_EQ(std::string(e.what()), kTooManyPartsText);
  }
  EXPECT_EQ(bytes, 4u);
  const std::string more = "{\"method\":\"more_blob\",\"params\":[3,1,0,2,true,0]}";
  EXPECT_EQ(f.Written(), more + more + more + more);
}

}  // namespace
}  // namespace selvane
