#pragma once
// Writes the client's requests. Prepare and execute go on to the input
// handler, which reads their replies into the same message; connect, next
// and more_blob read their replies here too; disconnect, command_close and
// reader_close have none.

#include <cstdint>

#include "rpc/json_client_input_handler.h"
#include "rpc/json_stream_reader.h"
#include "rpc/json_stream_writer.h"
#include "rpc/rpc_messages.h"

namespace selvane {

class TRpcJsonClientOutputConnectionHandler {
 public:
  TRpcJsonClientOutputConnectionHandler(TRpcJsonStreamReader& reader, TRpcJsonStreamWriter& writer)
      : writer_(writer), input_(reader, writer) {}

  void RpcConnect(TRpcConnectMessage& message);
  void RpcDisconnect(int32_t connection_handle);
  void RpcPrepare(TRpcPrepareMessage& message);
  void RpcExecute(TRpcExecuteMessage& message);
  void RpcCommandClose(int32_t command_handle);
  void RpcReaderClose(int32_t row_handle, int32_t command_handle);
  // Asks for the next part of a segmented result value; appends it and tells
  // whether it was the last.
  bool RpcMoreBlob(int32_t command_handle, int32_t blob_handle, int64_t row, int32_t ordinal, bool parameter_row,
                   int32_t row_handle, Bytes& out);
  // The same request; the part goes to `sink` as it arrives.
  bool RpcMoreBlob(int32_t command_handle, int32_t blob_handle, int64_t row, int32_t ordinal, bool parameter_row,
                   int32_t row_handle, const ByteSink& sink);
  // Asks for the table's next block and reads it into `table`.
  void RpcNext(TRpcTableResult& table, int64_t position);

  TRpcJsonClientInputConnectionHandler& input() { return input_; }

 private:
  void WriteMethodStart(std::string_view method);
  void WriteMethodEnd();
  void WriteCommandFields(const TRpcCommandMessage& message);

  TRpcJsonStreamWriter& writer_;
  TRpcJsonClientInputConnectionHandler input_;
};

}  // namespace selvane
