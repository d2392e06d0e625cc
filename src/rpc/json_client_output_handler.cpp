#include "rpc/json_client_output_handler.h"

namespace selvane {

void TRpcJsonClientOutputConnectionHandler::WriteMethodStart(std::string_view method) {
  writer_.WriteObjectStart();
  writer_.WriteName("method");
  writer_.WriteString(method);
  writer_.WriteValueSeparator();
  writer_.WriteName("params");
  writer_.WriteArrayStart();
}

void TRpcJsonClientOutputConnectionHandler::WriteMethodEnd() {
  writer_.WriteArrayEnd();
  writer_.WriteObjectEnd();
  writer_.Flush();
}

void TRpcJsonClientOutputConnectionHandler::WriteCommandFields(const TRpcCommandMessage& message) {
  writer_.WriteInt32(message.command_handle);
  writer_.WriteValueSeparator();
  writer_.WriteBoolean(false);  // updateable
  writer_.WriteValueSeparator();
  writer_.WriteString(std::string_view(message.command_type));
  writer_.WriteValueSeparator();
  writer_.WriteString(std::string_view(message.command_text));
}

void TRpcJsonClientOutputConnectionHandler::RpcConnect(TRpcConnectMessage& message) {
  WriteMethodStart("connect");
  writer_.WriteObjectStart();
  bool first = true;
  for (const auto& [name, value] : message.properties.entries()) {
    if (!first) writer_.WriteValueSeparator();
    first = false;
    writer_.WriteName(name);
    writer_.WriteString(std::string_view(value));
  }
  writer_.WriteObjectEnd();
  WriteMethodEnd();
  input_.ReadConnectReply(message);
}

void TRpcJsonClientOutputConnectionHandler::RpcDisconnect(int32_t connection_handle) {
  WriteMethodStart("disconnect");
  writer_.WriteInt32(connection_handle);
  WriteMethodEnd();
}

void TRpcJsonClientOutputConnectionHandler::RpcPrepare(TRpcPrepareMessage& message) {
  WriteMethodStart("prepare");
  WriteCommandFields(message);
  WriteMethodEnd();
  input_.ReadPrepareReply(message);
}

void TRpcJsonClientOutputConnectionHandler::RpcExecute(TRpcExecuteMessage& message) {
  WriteMethodStart("execute");
  writer_.WriteObjectStart();
  if (message.prepared) {
    writer_.WriteName("handle");
    writer_.WriteArrayStart();
    writer_.WriteInt32(message.command_handle);
    writer_.WriteArrayEnd();
  } else {
    writer_.WriteName("fields");
    writer_.WriteArrayStart();
    WriteCommandFields(message);
    writer_.WriteArrayEnd();
  }
  writer_.WriteObjectEnd();
  if (message.has_parameters) {
    writer_.WriteValueSeparator();
    writer_.WriteDataBlock(message.parameter_row);
  }
  WriteMethodEnd();
  input_.ReadExecuteReply(message);
}

void TRpcJsonClientOutputConnectionHandler::RpcCommandClose(int32_t command_handle) {
  WriteMethodStart("command_close");
  writer_.WriteInt32(command_handle);
  WriteMethodEnd();
}

void TRpcJsonClientOutputConnectionHandler::RpcReaderClose(int32_t row_handle, int32_t command_handle) {
  WriteMethodStart("reader_close");
  writer_.WriteInt32(row_handle);
  writer_.WriteValueSeparator();
  writer_.WriteInt32(command_handle);
  WriteMethodEnd();
}

bool TRpcJsonClientOutputConnectionHandler::RpcMoreBlob(int32_t command_handle, int32_t blob_handle, int64_t row,
                                                        int32_t ordinal, bool parameter_row, int32_t row_handle,
                                                        Bytes& out) {
  return RpcMoreBlob(command_handle, blob_handle, row, ordinal, parameter_row, row_handle,
                     [&out](std::span<const uint8_t> part) { out.insert(out.end(), part.begin(), part.end()); });
}

bool TRpcJsonClientOutputConnectionHandler::RpcMoreBlob(int32_t command_handle, int32_t blob_handle, int64_t row,
                                                        int32_t ordinal, bool parameter_row, int32_t row_handle,
                                                        const ByteSink& sink) {
  WriteMethodStart("more_blob");
  writer_.WriteInt32(command_handle);
  writer_.WriteValueSeparator();
  writer_.WriteInt32(blob_handle);
  writer_.WriteValueSeparator();
  writer_.WriteInt64(row);
  writer_.WriteValueSeparator();
  writer_.WriteInt32(ordinal);
  writer_.WriteValueSeparator();
  writer_.WriteBoolean(parameter_row);
  writer_.WriteValueSeparator();
  writer_.WriteInt32(row_handle);
  WriteMethodEnd();
  return input_.ReadMoreBlobReply(sink);
}

void TRpcJsonClientOutputConnectionHandler::RpcNext(TRpcTableResult& table, int64_t position) {
  WriteMethodStart("next");
  writer_.WriteInt32(table.row_handle);
  writer_.WriteValueSeparator();
  writer_.WriteInt64(position);
  writer_.WriteValueSeparator();
  writer_.WriteInt32(table.command_handle);
  WriteMethodEnd();
  input_.ReadTableBlock(table);
}

}  // namespace selvane
