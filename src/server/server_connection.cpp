#include "server/server_connection.h"

namespace selvane {

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
