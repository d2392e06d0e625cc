#pragma once
// The one exception of the remote-method client: server error replies, protocol
// failures and the client's own refusals all carry a message and a code.

#include <cstdint>
#include <stdexcept>
#include <string>

namespace selvane {

// Error codes of the remote-method protocol that the client raises itself.
enum TRpcErrorCode : int32_t {
  kRpcErrorNone = 0,
  kRpcErrorWarning = 1,
  kRpcErrorNoMemory = 2,
  kRpcErrorUnsupportedFieldType = 3,
  kRpcErrorInvalidHandle = 4,
  kRpcErrorNotSupported = 5,
  kRpcErrorInvalidType = 7,
  kRpcErrorInvalidParameter = 9,
  kRpcErrorParameterNotSet = 11,
};

class TRpcError : public std::runtime_error {
 public:
  TRpcError(const std::string& message, int32_t code = kRpcErrorNoMemory)
      : std::runtime_error(message), code_(code) {}
  int32_t ErrorCode() const { return code_; }

 private:
  int32_t code_;
};

// The message of an error reply: the server's text, or for an empty text
// "RPC Error:  " and the description of the code.
std::string RpcErrorMessage(const std::string& server_message, int32_t code);

// The description of an error code ("Error Code:  N" for unknown codes).
std::string RpcErrorCodeText(int32_t code);

}  // namespace selvane
