#include "session.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "rpc/memory_channel.h"
#include "rpc/rpc_error.h"
#include "test_repository.h"

namespace selvane::refserver {
namespace {

using namespace std::string_literals;

const std::string kHello = "\x05\x05\x05\x05\x05"s;
const std::string kConnect =
    R"({"method":"connect","params":[{"DriverUnit":"Data.DBXDataSnap","HostName":"h",)"
    R"("DSAuthenticationPassword":"#Quintabel*604281","DSAuthenticationUser":"Oltrane","DriverName":"DataSnap"}]})";
const std::string kConnectReply = "\x06\0\0\0\0"s + R"({"result":[7,"SelvaneUpdateServer",5]})";
const std::string kDisconnect = R"({"method":"disconnect","params":[7]})";

std::string Prepare(std::string_view method) {
  return R"({"method":"prepare","params":[-1,false,"DataSnap.ServerMethod","TServidor.)" + std::string(method) +
         R"("]})";
}

class SessionTest : public ::testing::Test {
 protected:
  // Runs one session over the queued client bytes; returns what the server wrote.
  std::string Serve(const std::string& client_bytes) {
    TRpcMemoryChannel channel;
    channel.Feed(client_bytes);
    UpdateService service(repo_.env(), options_);
    Session session(channel, service, options_, 7);
    session.Run();
    EXPECT_EQ(channel.pending(), 0u);
    return std::string(channel.written().begin(), channel.written().end());
  }

  TestRepository repo_;
  ServerOptions options_{.NumeroAtualizacao = 42};
};

TEST_F(SessionTest, AnswersTheUpdateNumberByteForByte) {
  const std::string out = Serve(kHello + kConnect + Prepare("GetNumeroAtualizacao") +
                                R"({"method":"execute","params":[{"handle":[0]},{"data":[1,)"
                                "\xC0"
                                "]}]}" +
                                R"({"method":"command_close","params":[0]})" + kDisconnect);
  EXPECT_EQ(out, kConnectReply +
                     R"({"result":[{"handle":[0]},{"parameters":[1,[6,0,4,0,0,"ReturnParameter",0,4,0]]}]})"
                     R"({"result":[{"data":[2,)"
                     "\x61\x2A"
                     "]}]}");
}

TEST_F(SessionTest, DescribesTheParametersOfEveryMethod) {
  const std::string out = Serve(kHello + kConnect + Prepare("RetornaArquivo") + Prepare("AtualizaPastaSchemasNFCE") +
                                Prepare("AtualizaAtualizador") + kDisconnect);
  EXPECT_EQ(out, kConnectReply +
                     R"({"result":[{"handle":[0]},{"parameters":[3,[26,0,1,0,0,"arquivo",0,0,0],)"
                     R"([6,0,1,0,0,"NumeroAtualizacao",0,4,0],[35,0,4,0,0,"ReturnParameter",0,0,0]]}]})"
                     R"({"result":[{"handle":[1]},{"parameters":[2,[35,0,1,0,0,"CDSCliente",0,0,0],)"
                     R"([35,0,4,0,0,"ReturnParameter",0,0,0]]}]})"
                     R"({"result":[{"handle":[2]},{"parameters":[2,[35,0,1,0,0,"CDSCliente",0,0,0],)"
                     R"([35,0,4,0,0,"ReturnParameter",0,0,0]]}]})");
}

TEST_F(SessionTest, RefusesAWrongPasswordAndServesNothingBeforeConnect) {
  std::string connect = kConnect;
  connect.replace(connect.find("#Quintabel"), 1, "-");
  const std::string out = Serve(kHello + connect + Prepare("GetNumeroAtualizacao") + kDisconnect);
  EXPECT_EQ(out, "\x06\0\0\0\0"s +
                     "{\"error\":{\"name\":\"TDBXError\",\"code\":12,\"message\":\"Usu\xE1rio ou senha inv\xE1lidos.\"}" +
                     R"({"error":{"name":"TDBXError","code":21,"message":"Not connected"})");
}

TEST_F(SessionTest, FailingCallsGetErrorRepliesAndTheConversationGoesOn) {
  const std::string execute_file =
      R"({"method":"execute","params":[{"handle":[0]},{"data":[14,)"
      "\x29"
      R"(ECF\x.exe)"
      "\x62\x01\x2C\xC0"
      "]}]}";
  const std::string out =
      Serve(kHello + kConnect + Prepare("Nope") + Prepare("RetornaArquivo") + execute_file +
            R"({"method":"execute","params":[{"handle":[9]},{"data":[1,)"
            "\xC0"
            "]}]}" +
            R"({"method":"more_blob","params":[0,1,0,2,true,0]})" + R"({"method":"next","params":[0,1,0]})" +
            kDisconnect);
  const std::string expected =
      kConnectReply + "{\"error\":{\"name\":\"TDBXError\",\"code\":31,\"message\":\"M\xE9todo desconhecido: TServidor.Nope\"}" +
      R"({"result":[{"handle":[0]},{"parameters":[3,[26,0,1,0,0,"arquivo",0,0,0],)"
      R"([6,0,1,0,0,"NumeroAtualizacao",0,4,0],[35,0,4,0,0,"ReturnParameter",0,0,0]]}]})"
      "{\"error\":{\"name\":\"TDBXError\",\"code\":2,\"message\":\"Arquivo n\xE3o encontrado no servidor: ECF\\\\x.exe\"}"
      R"({"error":{"name":"TDBXError","code":4,"message":"Command closed or executed again"})"
      R"({"error":{"name":"TDBXError","code":4,"message":"Command closed or executed again"})"
      R"({"error":{"name":"TDBXError","code":5,"message":"Unsupported request: next"})";
  EXPECT_EQ(out, expected);
}

TEST_F(SessionTest, EndsOnBytesThatAreNoRequest) {
  for (const std::string& bad : {"\x05\x05\x05\x05\x04"s, kHello + "{\"method\":[", kHello + kConnect + "x",
                                 kHello + R"({"params":[]})"}) {
    EXPECT_ANY_THROW(Serve(bad)) << bad;
  }
  EXPECT_THROW(Serve(kHello + kConnect), TRpcError) << "the client went away without disconnect";
}

std::string ExecuteFile(int handle, const std::string& path) {
  return R"({"method":"execute","params":[{"handle":[)" + std::to_string(handle) + R"(]},{"data":[)" +
         std::to_string(path.size() + 5) + ",\x29" + path + "\x62\x01\x2C\xC0]}]}";
}

// The drop fault set on the Nth file reply only, and one log line per call,
// in the order of the conversation.
TEST_F(SessionTest, CutsOnlyTheCountedFileReplyAndLogsEveryCall) {
  for (const char* name : {"a", "b", "c"}) repo_.Add("ECF/" + std::string(name) + ".txt", name);
  options_.drop_after_bytes = 5;
  options_.drop_in_file = 2;
  std::vector<std::string> events;
  TRpcMemoryChannel channel;
  channel.Feed(kHello + kConnect + Prepare("RetornaArquivo") + ExecuteFile(0, R"(ECF\a.txt)") +
               Prepare("RetornaArquivo") + ExecuteFile(1, R"(ECF\b.txt)") + Prepare("GetNumeroAtualizacao") +
               R"({"method":"execute","params":[{"handle":[2]},{"data":[1,)" "\xC0" "]}]}" +
               Prepare("RetornaArquivo") + ExecuteFile(3, R"(ECF\c.txt)") + kDisconnect);
  UpdateService service(repo_.env(), options_);
  Session session(
      channel, service, options_, 7,
      [&events](int64_t budget) {
        if (budget >= 0) events.push_back("cut after " + std::to_string(budget));
      },
      {}, [&events](const std::string& line) { events.push_back(line); });
  session.Run();
  EXPECT_EQ(events, (std::vector<std::string>{
                        R"(connection 7 calls TServidor.RetornaArquivo ECF\a.txt)",
                        R"(connection 7 calls TServidor.RetornaArquivo ECF\b.txt)",
                        "cut after 5",
                        "connection 7 calls TServidor.GetNumeroAtualizacao",
                        R"(connection 7 calls TServidor.RetornaArquivo ECF\c.txt)",
                    }));
}

// Every truncation and a byte changed at every position of a whole
// conversation: the session ends with an exception or serves what parses,
// and never reads or writes out of bounds (the sanitizers watch).
TEST_F(SessionTest, DamagedConversationsEndCleanly) {
  repo_.Add("ECF/a.txt", "a");
  const std::string listing_call =
      R"({"method":"execute","params":[{"handle":[2]},{"data":[4,)" + "\x50\x00\x01\x03"s + "]}]}" +
      R"({"data":[-8       ,)" + std::string(8, '\0') + "]}";
  const std::string conversation =
      kHello + kConnect + R"({"method":"execute","params":[{"fields":[-1,false,"Dbx.MetaData","GetDatabase"]}]})" +
      R"({"method":"reader_close","params":[0,0]})" + Prepare("RetornaArquivo") +
      R"({"method":"execute","params":[{"handle":[1]},{"data":[14,)"
      "\x29"
      R"(ECF\a.txt)"
      "\x62\x01\x2C\xC0"
      "]}]}" +
      R"({"method":"more_blob","params":[1,1,0,2,true,0]})" + Prepare("AtualizaPastaECF") + listing_call + kDisconnect;
  // Whole, it is served: the listing (a Null packet in two parts) gets the folder's file.
  const std::string served = Serve(conversation);
  const size_t asked = served.find(R"({"more_blob":[2,1,0,0,0]})");
  ASSERT_NE(asked, std::string::npos);
  EXPECT_NE(served.find(R"(ECF\a.txt)", asked), std::string::npos);
  auto run = [&](const std::string& bytes) {
    TRpcMemoryChannel channel(7);
    channel.Feed(bytes);
    UpdateService service(repo_.env(), options_);
    Session session(channel, service, options_, 7);
    try {
      session.Run();
    } catch (const std::exception&) {
      // Any clean failure is fine.
    }
  };
  for (size_t cut = 0; cut < conversation.size(); ++cut) run(conversation.substr(0, cut));
  for (size_t at = 0; at < conversation.size(); ++at) {
    for (char c : {'\0', '"', '9', '\xFF'}) {
      std::string damaged = conversation;
      damaged[at] = c;
      run(damaged);
    }
  }
}

}  // namespace
}  // namespace selvane::refserver
