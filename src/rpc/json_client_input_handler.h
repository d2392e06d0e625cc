#pragma once
// Reads the server's replies: reply headers, error replies (raised as
// TRpcError), connect, prepare and execute replies with their parameter and
// column descriptions, table blocks and the parts of segmented values. While
// an execute runs it also answers the server's own requests.

#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "rpc/json_stream_reader.h"
#include "rpc/json_stream_writer.h"
#include "rpc/rpc_messages.h"

namespace selvane {

class TRpcJsonClientInputConnectionHandler {
 public:
  TRpcJsonClientInputConnectionHandler(TRpcJsonStreamReader& reader, TRpcJsonStreamWriter& writer)
      : reader_(reader), writer_(writer) {}

  void ReadConnectReply(TRpcConnectMessage& message);
  void ReadPrepareReply(TRpcPrepareMessage& message);
  // Answers server requests until the result object, then reads it; a table
  // result is followed by its first data block.
  void ReadExecuteReply(TRpcExecuteMessage& message);
  // One table block, {"data":[N,B]}, as read after a next request.
  void ReadTableBlock(TRpcTableResult& table);
  // {"result":[{"data":[N,B]}]}: the part is handed to `sink` as it arrives;
  // true when it was the last (N of 0 or less).
  bool ReadMoreBlobReply(const ByteSink& sink);

  // The last metadata object the server sent during an execute.
  const std::optional<nlohmann::json>& metadata() const { return metadata_; }

 private:
  // The opening brace and the name "result" or "error" with its colon; an
  // error reply is read to its inner closing brace and raised.
  void ReadReplyHeader();
  [[noreturn]] void ReadErrorAndRaise();
  void ReadParameters(TRpcCommandMessage& message);
  TRpcParameterDescription ReadParameterDescription();
  void ReadTable(TRpcTableResult& table);
  TRpcColumnDescription ReadColumnDescription(bool new_style_flags);
  void AnswerMoreBlob(TRpcExecuteMessage& message);
  void AnswerCallback();
  void ReadMetadata();
  void ReadCommandResult(TRpcCommandMessage& message, TRpcExecuteMessage* execute);
  // Reads "[N]}" of a one-number member such as {"handle":[H]}.
  int64_t ReadSingleNumberArray();
  void ExpectName(const std::u16string& found, std::string_view expected);

  TRpcJsonStreamReader& reader_;
  TRpcJsonStreamWriter& writer_;
  std::optional<nlohmann::json> metadata_;
};

}  // namespace selvane
