#include "server/server_connection.h"

#include <gtest/gtest.h>

#include "platform/socket.h"
#include "rpc/rpc_command.h"
#include "rpc/rpc_error.h"
#include "server/dm.h"
#include "server/test_server_script.h"

namespace selvane {
namespace {

using testing_support::ClientFixture;
using testing_support::MetadataReply;
using testing_support::Script;

TEST(ServerConnection, ParamsInTheirFixedOrder) {
  TDM dm;
  std::vector<std::string> names;
  for (const auto& [name, value] : dm.ConexaoServer.Params.entries()) names.push_back(name);
  EXPECT_EQ(names, (std::vector<std::string>{"DriverUnit", "HostName", "Port", "CommunicationProtocol",
                                             "DatasnapContext", "DriverAssemblyLoader", "Filters",
                                             "DSAuthenticationPassword", "DSAuthenticationUser", "BufferKBSize",
                                             "ConnectTimeout", "CommunicationTimeout"}));
  EXPECT_EQ(dm.ConexaoServer.State(), csStateClosed);
  EXPECT_EQ(dm.ConexaoServer.DBXConnection(), nullptr);
}

TEST(ServerConnection, ConnectionPropertiesAppendDriverNameAndMissingDefaults) {
  TServerConnection c;
  c.SetHostName("10.0.0.5");
  TRpcProperties p = c.ConnectionProperties();
  EXPECT_EQ(p.entries()[1], (TRpcProperties::Entry{"HostName", "10.0.0.5"}));
  EXPECT_EQ(p.entries().back(), (TRpcProperties::Entry{"DriverName", "DataSnap"}));
  EXPECT_EQ(p.entries().size(), 13u);

  // A list that has DriverName keeps it in place; missing defaults go last.
  c.Params = TRpcProperties{{"DriverName", "DataSnap"}, {"HostName", "h"}};
  p = c.ConnectionProperties();
  ASSERT_EQ(p.entries().size(), 7u);
  EXPECT_EQ(p.entries()[0].first, "DriverName");
  EXPECT_EQ(p.entries()[2], (TRpcProperties::Entry{"DriverUnit", "Data.DbxDatasnap"}));
  EXPECT_EQ(p.Get("Port"), "211");
  EXPECT_EQ(p.Get("DatasnapContext"), "datasnap/");
}

TEST(ServerConnection, OpeningSendsConnectMetadataQueryAndItsRelease) {
  ClientFixture f;
  f.channel.Feed("{\"result\":[1,\"UpdateServer\",5]}");
  f.channel.Feed(MetadataReply(9).bytes());
  f.connection.Open();
  EXPECT_EQ(f.Written(), testing_support::OpeningRequests());
  EXPECT_EQ(f.connection.State(), csStateOpen);
  TRpcConnection* c = f.connection.DBXConnection();
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(c->connection_handle(), 1);
  EXPECT_EQ(c->GetProductName(), "UpdateServer");
  EXPECT_EQ(c->protocol_version(), 5);
  EXPECT_EQ(c->buffer_size(), 1024000u);
  EXPECT_EQ(c->min_row_size(), 1021952u);
  const TRpcDatabaseMetaData& m = c->GetDatabaseMetaData();
  EXPECT_EQ(m.QuoteChar, "\"");
  EXPECT_EQ(m.MaxCommands, 16);
  EXPECT_TRUE(m.SupportsTransactions);
  EXPECT_FALSE(m.SupportsNestedTransactions);
  EXPECT_TRUE(m.SupportsRowSetSize);
  EXPECT_EQ(m.meta_data_version, "3.0");
  EXPECT_FALSE(m.QuotePrefix.has_value());
  EXPECT_FALSE(m.SupportsSchemas.has_value());
  EXPECT_EQ(f.channel.pending(), 0u);
}

TEST(ServerConnection, ThirteenColumnMetadataRow) {
  ClientFixture f;
  f.channel.Feed("{\"result\":[1,\"UpdateServer\",5]}");
  f.channel.Feed(MetadataReply(13).bytes());
  f.connection.Open();
  const TRpcDatabaseMetaData& m = f.connection.DBXConnection()->GetDatabaseMetaData();
  EXPECT_EQ(m.meta_data_version, "4.0");
  EXPECT_EQ(m.QuotePrefix, "\xC3\xBF");  // one-byte column: 0xFF is the character, not a switch
  EXPECT_EQ(m.QuoteSuffix, "\xE2\x82\xAC");
  EXPECT_EQ(m.SupportsSPReturnCode, false);
  EXPECT_EQ(m.SupportsSchemas, true);
  EXPECT_FALSE(m.SupportsCatalogs.has_value());
  EXPECT_FALSE(m.SupportsLowerCaseIdentifiers.has_value());
}

TEST(ServerConnection, ConnectReplyWithoutProtocolVersion) {
  ClientFixture f;
  f.channel.Feed("{\"result\":[7,\"S\"]}");
  f.channel.Feed(MetadataReply(9).bytes());
  f.connection.Open();
  EXPECT_EQ(f.connection.DBXConnection()->protocol_version(), 0);
  EXPECT_EQ(f.connection.DBXConnection()->connection_handle(), 7);
}

TEST(ServerConnection, ConnectReplySkipsMembersAfterTheVersion) {
  ClientFixture f;
  f.channel.Feed("{\"result\":[2,\"S\",6,{\"x\":[1]},\"y\"]}");
  f.channel.Feed(MetadataReply(9).bytes());
  f.connection.Open();
  EXPECT_EQ(f.connection.DBXConnection()->protocol_version(), 6);
}

TEST(ServerConnection, RefusedConnectFailsOpeningWithTheServerTextAndNoDisconnect) {
  ClientFixture f;
  f.channel.Feed("{\"error\":{\"name\":\"EAuth\",\"code\":12,\"message\":\"Usu\xE1rio inv\xE1lido\"}");
  try {
    f.connection.Open();
    FAIL();
  } catch (const TRpcError& e) {
    EXPECT_EQ(std::string(e.what()), "Usu\xC3\xA1rio inv\xC3\xA1lido");
    EXPECT_EQ(e.ErrorCode(), 12);
  }
  EXPECT_EQ(f.connection.State(), csStateClosed);
  EXPECT_EQ(f.connection.DBXConnection(), nullptr);
  EXPECT_EQ(f.Written(), testing_support::ConnectRequest());
  EXPECT_EQ(f.connection.HostName(), "H");  // settings unchanged: a later Open may try again
}

TEST(ServerConnection, FailedMetadataQuerySendsDisconnect) {
  ClientFixture f;
  f.channel.Feed("{\"result\":[3,\"S\",5]}{\"error\":{\"code\":27}");
  EXPECT_THROW(f.connection.Open(), TRpcError);
  const std::string w = f.Written();
  const std::string tail = "{\"method\":\"disconnect\",\"params\":[3]}";
  ASSERT_GE(w.size(), tail.size());
  EXPECT_EQ(w.substr(w.size() - tail.size()), tail);
  EXPECT_EQ(f.connection.State(), csStateClosed);
}

TEST(ServerConnection, ClosingClosesLiveCommandsThenDisconnects) {
  ClientFixture f;
  f.Open();
  TRpcConnection* c = f.connection.DBXConnection();
  auto fresh = c->CreateCommand();  // never prepared: nothing to close
  auto prepared = c->CreateCommand();
  prepared->SetCommandType("DataSnap.ServerMethod");
  prepared->SetText("TServidor.GetNumeroAtualizacao");
  f.channel.Feed("{\"result\":[{\"handle\":[4]}]}");
  prepared->Prepare();
  f.channel.ClearWritten();
  f.connection.SetConnected(false);
  EXPECT_EQ(f.Written(), "{\"method\":\"command_close\",\"params\":[4]}{\"method\":\"disconnect\",\"params\":[1]}");
  EXPECT_EQ(f.connection.State(), csStateClosed);
  // Commands outlive their connection without touching it.
  try {
    prepared->ExecuteUpdate();
    FAIL();
  } catch (const TRpcError& e) {
    EXPECT_STREQ(e.what(), "Operation failed.  Connection was closed");
  }
  f.channel.ClearWritten();
  prepared.reset();
  fresh.reset();
  EXPECT_EQ(f.Written(), "");
}

TEST(ServerConnection, BufferSizeFromBufferKBSize) {
  struct Case {
    const char* value;
    size_t bytes;
  };
  for (const Case& c : {Case{"1000", 1024000}, Case{"0", 32768}, Case{"-5", 32768}, Case{"x", 32768},
                        Case{"", 32768}}) {
    ClientFixture f;
    if (*c.value) {
      f.connection.Params.Set("BufferKBSize", c.value);
    } else {
      f.connection.Params.Remove("BufferKBSize");
    }
    f.Open();
    EXPECT_EQ(f.connection.DBXConnection()->buffer_size(), c.bytes) << c.value;
  }
}

TEST(ServerConnection, UnreachableServerLeavesTheComponentClosed) {
  auto listener = ListenTcp(0);
  const uint16_t port = listener->port();
  listener->Close();  // nothing listens there any more
  TServerConnection c;
  c.SetHostName("127.0.0.1");
  c.Params.Set("Port", std::to_string(port));
  try {
    c.Open();
    FAIL();
  } catch (const ESocketError& e) {
    EXPECT_STREQ(e.what(), "Socket Error # 10061\r\nConnection refused.");
  }
  EXPECT_EQ(c.State(), csStateClosed);
}

}  // namespace
}  // namespace selvane
