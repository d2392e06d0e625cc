#include "rpc/rpc_limits.h"

#include <string>

#include "rpc/rpc_error.h"

namespace selvane {

void RaiseRpcLimit(uint64_t limit, std::string_view what) {
  throw TRpcError("The server's reply exceeds the client's limit of " + std::to_string(limit) + " " +
                  std::string(what));
}

}  // namespace selvane
