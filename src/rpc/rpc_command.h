#pragma once
// A command on an open connection: prepared once (the server describes its
// parameters and gives it a handle), executed any number of times with a
// parameter row, and closed on the server when it is destroyed.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/ole_variant.h"
#include "rpc/rpc_parameter.h"

namespace selvane {

class TRpcConnection;

inline constexpr std::string_view kServerMethodCommandType = "DataSnap.ServerMethod";

class TRpcCommand {
 public:
  // Created by TRpcConnection::CreateCommand.
  explicit TRpcCommand(TRpcConnection& connection);
  // Sends command_close when the server gave the command a handle and the
  // connection is still open; reads nothing.
  ~TRpcCommand();
  TRpcCommand(const TRpcCommand&) = delete;
  TRpcCommand& operator=(const TRpcCommand&) = delete;

  void SetCommandType(std::string type) { command_type_ = std::move(type); }
  // The text is cut at its first NUL character.
  void SetText(std::string text);

  // Prepare request and reply: the handle and the parameter descriptions.
  // A second Prepare raises "Command can only be prepared once".
  void Prepare();
  // Execute request with the parameter row, server requests answered, reply
  // row kept for the parameters to read. Raises "Parameter not set for column
  // number N" (code 11) for an input without value, before anything is sent.
  void ExecuteUpdate();

  TRpcParameter& Parameter(size_t ordinal);
  int32_t handle() const { return handle_; }
  bool prepared() const { return prepared_; }

  // Sends command_close once, if there is something to close.
  void Close();

  // --- For the connection and the parameters ---
  TRpcConnection* connection() const { return connection_; }
  void ConnectionClosed() { connection_ = nullptr; }
  // The server's row after the last execute, and its generation (raised by
  // every execute) so that a segmented read notices a newer execute.
  const Bytes& reply_row() const { return reply_row_; }
  uint64_t generation() const { return generation_; }
  bool closed() const { return closed_; }
  // The next blob handle for a segmented value read through this command:
  // 1 for the first, counting on across executes.
  int32_t NextBlobHandle() { return ++blob_handles_; }
  // Raises "Operation failed.  Connection was closed" once the connection is gone.
  TRpcConnection& LiveConnection() const;

 private:
  TRpcConnection* connection_;
  std::string command_type_;
  std::string text_;
  int32_t handle_ = -1;
  bool prepared_ = false;
  bool closed_ = false;
  std::vector<TRpcParameter> parameters_;
  Bytes reply_row_;
  uint64_t generation_ = 0;
  int32_t blob_handles_ = 0;
};

}  // namespace selvane
