#pragma once
// Test helpers: the client over an in-memory channel, and builders for the
// bytes a server would send.

#include <memory>
#include <string>
#include <string_view>

#include "base/ole_variant.h"
#include "rpc/field_codec.h"
#include "rpc/memory_channel.h"
#include "server/server_connection.h"

namespace selvane::testing_support {

// Text and raw bytes in one buffer.
class Script {
 public:
  Script& operator<<(std::string_view text) {
    bytes_.insert(bytes_.end(), text.begin(), text.end());
    return *this;
  }
  Script& operator<<(const Bytes& raw) {
    bytes_.insert(bytes_.end(), raw.begin(), raw.end());
    return *this;
  }
  Script& Data(const Bytes& raw) {  // {"data":[N,B]}
    return *this << "{\"data\":[" << std::to_string(raw.size()) << "," << raw << "]}";
  }
  const Bytes& bytes() const { return bytes_; }
  std::string text() const { return std::string(bytes_.begin(), bytes_.end()); }

 private:
  Bytes bytes_;
};

// Hands the connection a channel that forwards to a test-owned one.
class ForwardingChannel : public TRpcChannel {
 public:
  explicit ForwardingChannel(TRpcChannel& target) : target_(target) {}
  int Read(std::span<uint8_t> b) override { return target_.Read(b); }
  int Write(std::span<const uint8_t> b) override { return target_.Write(b); }
  std::string GetChannelInfo() override { return target_.GetChannelInfo(); }

 private:
  TRpcChannel& target_;
};

// The metadata reply with a one-row table of 9 or 13 columns.
inline Script MetadataReply(int columns) {
  Script s;
  s << "{\"result\":[{\"handle\":[0]},{\"table\":[{\"fields\":[0,false,0,1,true]},{\"columns\":["
    << std::to_string(columns)
    << ",[\"QuoteChar\",26,0,1,0,1,0],[\"ProcedureQuoteChar\",26,0,1,0,1,0],[\"MaxCommands\",6,0,4,0,4,0],"
       "[\"SupportsTransactions\",4,0,1,0,1,0],[\"SupportsNestedTransactions\",4,0,1,0,1,0],"
       "[\"SupportsRowSetSize\",4,0,1,0,1,0],[\"ProductVersion\",26,0,8,0,8,0],"
       "[\"DatabaseProductName\",26,0,8,0,8,0],[\"DatabaseVersion\",26,0,8,0,8,0]";
  Bytes row{0x21, '"', 0x21, '"', 0x61, 0x10, 0x60, 0x20, 0x60, 0x23, '1', '.', '0', 0x22, 'U', 'p', 0x21, '5'};
  if (columns == 13) {
    s << ",[\"QuotePrefix\",1,0,1,0,1,0],[\"QuoteSuffix\",26,0,1,0,1,0],[\"SupportsSPReturnCode\",4,0,1,0,1,0],"
         "[\"SupportsSchemas\",4,0,1,0,1,0,1]";
    const Bytes more{0x21, 0xFF, 0x23, 0xFF, 0x20, 0xAC, 0x20, 0x60};
    row.insert(row.end(), more.begin(), more.end());
  }
  s << "]}]}]}";
  s << "{\"data\":[-" << std::to_string(row.size()) << "," << row << "]}";
  return s;
}

inline std::string ConnectRequest() {
  return "{\"method\":\"connect\",\"params\":[{\"DriverUnit\":\"Data.DBXDataSnap\",\"HostName\":\"H\",\"Port\":\"5975\","
         "\"CommunicationProtocol\":\"tcp/ip\",\"DatasnapContext\":\"datasnap/\",\"DriverAssemblyLoader\":\"" +
         std::string(kDriverAssemblyLoader) +
         "\",\"Filters\":\"{}\",\"DSAuthenticationPassword\":\"#Quintabel*604281\","
         "\"DSAuthenticationUser\":\"Oltrane\",\"BufferKBSize\":\"1000\",\"ConnectTimeout\":\"30000\","
         "\"CommunicationTimeout\":\"60000\",\"DriverName\":\"DataSnap\"}]}";
}

inline std::string OpeningRequests() {
  return ConnectRequest() +
         "{\"method\":\"execute\",\"params\":[{\"fields\":[-1,false,\"Dbx.MetaData\",\"GetDatabase\"]}]}"
         "{\"method\":\"reader_close\",\"params\":[0,0]}"
         "{\"method\":\"command_close\",\"params\":[0]}";
}

struct ClientFixture {
  ClientFixture() {
    connection.SetHostName("H");
    connection.SetChannelFactory(
        [this](const TRpcProperties&) { return std::make_unique<ForwardingChannel>(channel); });
  }
  // Feeds the connect reply and the metadata reply, opens, forgets the requests.
  void Open() {
    channel.Feed("{\"result\":[1,\"UpdateServer\",5]}");
    channel.Feed(MetadataReply(9).bytes());
    connection.Open();
    channel.ClearWritten();
  }
  std::string Written() const { return std::string(channel.written().begin(), channel.written().end()); }

  TRpcMemoryChannel channel;
  TServerConnection connection;
};

}  // namespace selvane::testing_support
