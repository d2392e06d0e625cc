#include "rpc/rpc_connection.h"

#include <algorithm>

#include "rpc/filter_socket_channel.h"
#include "rpc/rpc_error.h"
#include "rpc/json_client_output_handler.h"
#include "rpc/json_stream_reader.h"
#include "rpc/json_stream_writer.h"
#include "rpc/rpc_command.h"
#include "rpc/socket_channel.h"
#include "rpc/table_reader.h"

namespace selvane {

namespace {

constexpr int64_t kDefaultBufferKB = 32;
// Buffers are allocated whole at opening; a setting beyond this is a typing slip.
constexpr int64_t kMaxBufferKB = 64 * 1024;

}  // namespace

std::unique_ptr<TRpcChannel> CreateTransportChannel(const TRpcProperties& properties) {
  return TransportChannelFactory(nullptr)(properties);
}

TRpcChannelFactory TransportChannelFactory(std::shared_ptr<TRpcReadWait> wait) {
  return [wait](const TRpcProperties& properties) -> std::unique_ptr<TRpcChannel> {
    auto socket_channel = std::make_unique<TRpcSocketChannel>();
    socket_channel->SetReadWait(wait);
    auto channel = std::make_unique<TRpcFilterSocketChannel>();
    channel->SetChannel(std::move(socket_channel));
    channel->SetRpcProperties(properties);
    return channel;
  };
}

TRpcConnection::TRpcConnection(TRpcProperties properties) : properties_(std::move(properties)) {}

TRpcConnection::~TRpcConnection() { Close(); }

std::unique_ptr<TRpcConnection> TRpcConnection::Open(const TRpcProperties& properties,
                                                     const TRpcChannelFactory& channel_factory) {
  std::unique_ptr<TRpcConnection> connection(new TRpcConnection(properties));
  try {
    connection->DoOpen(channel_factory);
  } catch (...) {
    connection->Close();
    throw;
  }
  return connection;
}

void TRpcConnection::DoOpen(const TRpcChannelFactory& channel_factory) {
  open_ = true;
  channel_ = channel_factory(properties_);
  channel_->SetRpcProperties(properties_);
  channel_->Open();

  int64_t kb = properties_.GetInteger("BufferKBSize", kDefaultBufferKB);
  if (kb <= 0) kb = kDefaultBufferKB;
  buffer_size_ = static_cast<size_t>(std::min(kb, kMaxBufferKB)) * 1024;
  reader_ = std::make_unique<TRpcJsonStreamReader>(*channel_, buffer_size_);
  writer_ = std::make_unique<TRpcJsonStreamWriter>(*channel_, buffer_size_);
  handler_ = std::make_unique<TRpcJsonClientOutputConnectionHandler>(*reader_, *writer_);

  TRpcConnectMessage connect;
  connect.properties = properties_;
  handler_->RpcConnect(connect);
  FConnectionHandle = connect.connection_handle;
  FProductName = connect.product_name;
  FProtocolVersion = connect.protocol_version;

  ReadDatabaseMetaData();
}

void TRpcConnection::ReadDatabaseMetaData() {
  TRpcExecuteMessage query;
  query.prepared = false;
  query.command_type = "Dbx.MetaData";
  query.command_text = "GetDatabase";
  handler_->RpcExecute(query);
  if (query.table) {
    TRpcTableReader reader(*handler_, std::move(*query.table));
    if (reader.Next()) {
      auto text = [&](std::string_view name) -> std::optional<std::string> {
        const int i = reader.ColumnIndex(name);
        return i < 0 ? std::nullopt : reader.GetString(static_cast<size_t>(i));
      };
      auto flag = [&](std::string_view name) -> std::optional<bool> {
        const int i = reader.ColumnIndex(name);
        return i < 0 ? std::nullopt : reader.GetBoolean(static_cast<size_t>(i));
      };
      TRpcDatabaseMetaData& m = metadata_;
      m.QuoteChar = text("QuoteChar").value_or("");
      m.ProcedureQuoteChar = text("ProcedureQuoteChar").value_or("");
      const int max_commands = reader.ColumnIndex("MaxCommands");
      if (max_commands >= 0) m.MaxCommands = reader.GetInt32(static_cast<size_t>(max_commands)).value_or(0);
      m.SupportsTransactions = flag("SupportsTransactions").value_or(false);
      m.SupportsNestedTransactions = flag("SupportsNestedTransactions").value_or(false);
      m.SupportsRowSetSize = flag("SupportsRowSetSize").value_or(false);
      if (reader.columns().size() > 9) {
        m.meta_data_version = "4.0";
        m.QuotePrefix = text("QuotePrefix");
        m.QuoteSuffix = text("QuoteSuffix");
        m.SupportsLowerCaseIdentifiers = flag("SupportsLowerCaseIdentifiers");
        m.SupportsUpperCaseIdentifiers = flag("SupportsUpperCaseIdentifiers");
        m.SupportsSPReturnCode = flag("SupportsSPReturnCode");
        m.SupportsParameterMetadata = flag("SupportsParameterMetadata");
        m.SupportsCatalogFunctions = flag("SupportsCatalogFunctions");
        m.SupportsCatalogs = flag("SupportsCatalogs");
        m.SupportsSchemas = flag("SupportsSchemas");
      }
    }
    reader.Close();
  }
  if (query.command_handle >= 0) handler_->RpcCommandClose(query.command_handle);
}

void TRpcConnection::Close() {
  if (!open_ && !channel_) return;
  const std::vector<TRpcCommand*> commands = live_commands_;
  for (TRpcCommand* command : commands) {
    try {
      command->Close();
    } catch (...) {
      // Closing raises nothing; a broken socket takes the server's commands with it.
    }
    command->ConnectionClosed();
  }
  live_commands_.clear();
  if (FConnectionHandle >= 0 && handler_) {
    try {
      handler_->RpcDisconnect(FConnectionHandle);
    } catch (...) {
    }
  }
  FConnectionHandle = -1;
  open_ = false;
  handler_.reset();
  writer_.reset();
  reader_.reset();
  if (channel_) {
    try {
      channel_->Close();
    } catch (...) {
    }
    channel_.reset();
  }
  metadata_ = TRpcDatabaseMetaData();
}

std::unique_ptr<TRpcCommand> TRpcConnection::CreateCommand() {
  if (!open_) throw TRpcError("Operation failed.  Connection was closed", 4);
  return std::make_unique<TRpcCommand>(*this);
}

void TRpcConnection::Register(TRpcCommand* command) { live_commands_.push_back(command); }

void TRpcConnection::Unregister(TRpcCommand* command) { std::erase(live_commands_, command); }

}  // namespace selvane
