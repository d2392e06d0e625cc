#pragma once
// The connection component: its settings (Params, in their fixed order), its
// state, and the open RPC connection that proxies are created on.

#include <atomic>
#include <memory>
#include <string>

#include "rpc/rpc_connection.h"
#include "rpc/rpc_properties.h"
#include "protocol/credentials.h"

namespace selvane {

// The data module's time limits (milliseconds): connecting and the first
// reply bytes, then every later wait for bytes (the build's values, 30000
// and 60000 unless a test build shortens them).
extern const int kConnectTimeoutMs;
extern const int kCommunicationTimeoutMs;

enum TConnectionState { csStateClosed, csStateConnecting, csStateOpen, csStateDisconnecting };

class TServerConnection {
 public:
  TServerConnection();  // Params as the data module sets them; HostName empty
  ~TServerConnection();  // Close()

  // name=value settings in order; the connect message sends them in this order.
  TRpcProperties Params;
  std::string DriverName = "DataSnap";
  bool LoginPrompt = false;

  void SetHostName(const std::string& host) { Params.Set("HostName", host); }
  std::string HostName() const { return Params.Get("HostName"); }

  // Opening runs on the calling thread and raises on any failure, leaving the
  // component closed with its settings unchanged.
  void Open();
  // Raises nothing.
  void Close();
  void SetConnected(bool connected) {
    if (connected) {
      Open();
    } else {
      Close();
    }
  }
  bool Connected() const { return State() == csStateOpen; }
  TConnectionState State() const { return state_.load(); }

  // The open connection (DBXConnection), or null while not open.
  TRpcConnection* DBXConnection() const { return connection_.get(); }

  // The properties sent at connecting: Params, then DriverName when absent,
  // then the driver's defaults for names not yet present.
  TRpcProperties ConnectionProperties() const;

  // Replaces the transport stack (tests put an in-memory channel here).
  void SetChannelFactory(TRpcChannelFactory factory) { channel_factory_ = std::move(factory); }

 private:
  std::atomic<TConnectionState> state_{csStateClosed};
  std::unique_ptr<TRpcConnection> connection_;
  TRpcChannelFactory channel_factory_ = CreateTransportChannel;
};

}  // namespace selvane
