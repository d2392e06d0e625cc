#pragma once
// The open connection to the update server: channel stack, message writer
// and reader, the server's connection handle and capabilities, and the
// commands created on it. One request and its reply at a time, from one thread.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "rpc/database_metadata.h"
#include "rpc/read_wait.h"
#include "rpc/rpc_channel.h"
#include "rpc/rpc_properties.h"

namespace selvane {

class TRpcCommand;
class TRpcJsonStreamReader;
class TRpcJsonStreamWriter;
class TRpcJsonClientOutputConnectionHandler;

// Builds the (not yet opened) channel for a set of connection properties.
// The default is the transport stack: filter channel over socket channel over TCP.
using TRpcChannelFactory = std::function<std::unique_ptr<TRpcChannel>(const TRpcProperties&)>;
std::unique_ptr<TRpcChannel> CreateTransportChannel(const TRpcProperties& properties);
// The same stack, its limited reads waiting through `wait` (tests: injected time).
TRpcChannelFactory TransportChannelFactory(std::shared_ptr<TRpcReadWait> wait);

class TRpcConnection {
 public:
  // Opens: channel, connect request and reply, the database metadata query.
  // Any failure closes what was built (sending disconnect when the server had
  // already given a handle) and reaches the caller unchanged.
  static std::unique_ptr<TRpcConnection> Open(const TRpcProperties& properties,
                                              const TRpcChannelFactory& channel_factory = CreateTransportChannel);
  ~TRpcConnection();  // Close()
  TRpcConnection(const TRpcConnection&) = delete;
  TRpcConnection& operator=(const TRpcConnection&) = delete;

  // Closes every live command (command_close each), sends disconnect when
  // there is a handle, releases the channel. Raises nothing.
  void Close();
  bool GetIsOpen() const { return open_; }

  // A new command bound to this connection; the caller owns it.
  std::unique_ptr<TRpcCommand> CreateCommand();

  int32_t connection_handle() const { return FConnectionHandle; }
  const std::string& GetProductName() const { return FProductName; }
  int32_t protocol_version() const { return FProtocolVersion; }
  const TRpcDatabaseMetaData& GetDatabaseMetaData() const { return metadata_; }
  size_t buffer_size() const { return buffer_size_; }
  // Minimum size of a parameter row: the write buffer less 2048 bytes.
  size_t min_row_size() const { return buffer_size_ > 2048 ? buffer_size_ - 2048 : 0; }
  int32_t isolation_level() const { return isolation_level_; }

  // --- For commands ---
  TRpcJsonClientOutputConnectionHandler& handler() { return *handler_; }
  void Register(TRpcCommand* command);
  void Unregister(TRpcCommand* command);
  void SetIsolationLevel(int32_t level) { isolation_level_ = level; }

 private:
  explicit TRpcConnection(TRpcProperties properties);
  void DoOpen(const TRpcChannelFactory& channel_factory);
  void ReadDatabaseMetaData();

  TRpcProperties properties_;
  std::unique_ptr<TRpcChannel> channel_;
  std::unique_ptr<TRpcJsonStreamReader> reader_;
  std::unique_ptr<TRpcJsonStreamWriter> writer_;
  std::unique_ptr<TRpcJsonClientOutputConnectionHandler> handler_;
  std::vector<TRpcCommand*> live_commands_;
  TRpcDatabaseMetaData metadata_;
  size_t buffer_size_ = 32 * 1024;
  int32_t FConnectionHandle = -1;
  std::string FProductName;
  int32_t FProtocolVersion = 0;
  int32_t isolation_level_ = 0;
  bool open_ = false;
};

}  // namespace selvane
