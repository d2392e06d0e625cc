#include "server/server_connection.h"

namespace selvane {

const int kConnectTimeoutMs = SELVANE_CONNECT_TIMEOUT_MS;
const int kCommunicationTimeoutMs = SELVANE_COMMUNICATION_TIMEOUT_MS;

namespace {

// The remote-method driver's defaults, added for names the settings lack.
const TRpcProperties& DriverDefaults() {
  static const TRpcProperties defaults{
      {"DriverUnit", "Data.DbxDatasnap"}, {"HostName", "localhost"},  {"Port", "211"},
      {"CommunicationProtocol", "tcp/ip"}, {"Filters", "{}"},          {"DatasnapContext", "datasnap/"},
  };
  return defaults;
}

}  // namespace

TServerConnection::TServerConnection()
    : Params{
          {"DriverUnit", "Data.DBXDataSnap"},
          {"HostName", ""},
          {"Port", "5975"},
          {"CommunicationProtocol", "tcp/ip"},
          {"DatasnapContext", "datasnap/"},
          {"DriverAssemblyLoader", std::string(kDriverAssemblyLoader)},
          {"Filters", "{}"},
          {"DSAuthenticationPassword", std::string(kDSAuthenticationPassword)},
          {"DSAuthenticationUser", std::string(kDSAuthenticationUser)},
          {"BufferKBSize", "1000"},
          // A connection that cannot be made, or a server that answers nothing
          // at all, is given up after 30 s: a healthy server on the internet
          // answers the handshake within a second or two. Once it has spoken,
          // each later wait for bytes may last 60 s: the server may take that
          // long to pack a large file before its reply starts, and a stalled
          // link must not keep the point-of-sale program closed for longer
          // than the user would wait before calling for help.
          {"ConnectTimeout", std::to_string(kConnectTimeoutMs)},
          {"CommunicationTimeout", std::to_string(kCommunicationTimeoutMs)},
      } {}

TServerConnection::~TServerConnection() { Close(); }

TRpcProperties TServerConnection::ConnectionProperties() const {
  TRpcProperties properties = Params;
  if (!properties.Has("DriverName")) properties.Set("DriverName", DriverName);
  for (const auto& [name, value] : DriverDefaults().entries()) {
    if (!properties.Has(name)) properties.Set(name, value);
  }
  return properties;
}

void TServerConnection::Open() {
  if (state_ == csStateOpen) return;
  state_ = csStateConnecting;
  try {
    connection_ = TRpcConnection::Open(ConnectionProperties(), channel_factory_);
  } catch (...) {
    state_ = csStateClosed;
    throw;
  }
  state_ = csStateOpen;
}

void TServerConnection::Close() {
  if (!connection_) {
    state_ = csStateClosed;
    return;
  }
  state_ = csStateDisconnecting;
  connection_->Close();
  connection_.reset();
  state_ = csStateClosed;
}

}  // namespace selvane
