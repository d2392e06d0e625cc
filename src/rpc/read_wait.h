#pragma once
// How a read under a time limit waits for its first byte. The TCP layer asks
// the socket itself; tests put here a clock that they drive, so that a limit
// of a minute passes at once and no test waits for real.

#include "platform/socket.h"

namespace selvane {

class TRpcReadWait {
 public:
  virtual ~TRpcReadWait() = default;
  // True when a byte can be read (or the peer has closed) before `timeout_ms`
  // passed; false when the limit passed first.
  virtual bool WaitReadable(TcpSocket& socket, int timeout_ms) = 0;
};

}  // namespace selvane
