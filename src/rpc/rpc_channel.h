#pragma once
// The byte channel under the message writer and reader. Implementations are
// the transport stack (filter channel over socket channel over TCP) and, for
// tests, fuzzers and the reference server, in-memory and accepted-socket channels.

#include <cstdint>
#include <span>
#include <string>

#include "rpc/rpc_properties.h"

namespace selvane {

class TRpcChannel {
 public:
  virtual ~TRpcChannel() = default;

  virtual void Open() {}
  virtual void Close() {}
  // Waits for at least one byte and returns how many were placed in `buffer`
  // (1 or more), or -1 when the channel can deliver nothing (terminated).
  // Socket failures are raised as the socket layer's exceptions.
  virtual int Read(std::span<uint8_t> buffer) = 0;
  // Writes every byte; returns the count written, or -1 when the channel can
  // no longer write.
  virtual int Write(std::span<const uint8_t> bytes) = 0;
  virtual bool IsConnectionLost() { return false; }
  virtual std::string GetChannelInfo() = 0;
  virtual void SetRpcProperties(const TRpcProperties& properties) { properties_ = properties; }

 protected:
  TRpcProperties properties_;
};

}  // namespace selvane
