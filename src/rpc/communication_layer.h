#pragma once
// A communication layer carries the channel's bytes over one transport
// protocol; the factory creates layers by protocol name ("tcp/ip").

#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "rpc/read_wait.h"
#include "rpc/rpc_properties.h"

namespace selvane {

class TRpcCommunicationLayer {
 public:
  virtual ~TRpcCommunicationLayer() = default;

  void SetConnectTimeout(int milliseconds) { connect_timeout_ = milliseconds; }
  void SetCommunicationTimeout(int milliseconds) { communication_timeout_ = milliseconds; }
  // Replaces the socket's own wait of a limited read (null: the socket's).
  void SetReadWait(std::shared_ptr<TRpcReadWait> wait) { read_wait_ = std::move(wait); }

  virtual void Open(const TRpcProperties& properties) = 0;
  virtual void Close() = 0;
  virtual int Read(std::span<uint8_t> buffer) = 0;  // -1 once terminated
  virtual int Write(std::span<const uint8_t> bytes) = 0;
  virtual std::string Info() = 0;
  // Ends the layer from any thread: a waiting read returns.
  virtual void Terminate() = 0;

 protected:
  int connect_timeout_ = -1;        // negative: no limit
  int communication_timeout_ = -1;  // negative: no limit
  std::shared_ptr<TRpcReadWait> read_wait_;
};

class TRpcCommunicationLayerFactory {
 public:
  using Creator = std::function<std::unique_ptr<TRpcCommunicationLayer>()>;
  // A new layer for the protocol name, or null when none is registered.
  static std::unique_ptr<TRpcCommunicationLayer> Create(std::string_view protocol);
  static void Register(std::string_view protocol, Creator creator);
};

}  // namespace selvane
