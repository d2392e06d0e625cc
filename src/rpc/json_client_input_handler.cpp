#include "rpc/json_client_input_handler.h"

#include <algorithm>

#include "base/text.h"
#include "rpc/rpc_error.h"
#include "rpc/rpc_limits.h"
#include "rpc/rpc_parameter.h"

namespace selvane {

namespace {

using T = TRpcJsonToken;

constexpr int32_t kLiteralParameterFlag = 0x200;
constexpr int32_t kStreamValueFlag = 0x80;

}  // namespace

int32_t ConvertOldColumnFlags(int32_t old_flags) {
  int32_t f = 0x80;
  if (old_flags & 0x01) f |= 0x02;
  if (old_flags & 0x02) f |= 0x04;
  if (old_flags & 0x08) f |= 0x01;
  if (old_flags & 0x40) f |= 0x08;
  return f;
}

void TRpcJsonClientInputConnectionHandler::ExpectName(const std::u16string& found, std::string_view expected) {
  if (found != Utf8ToUtf16(expected)) reader_.MisspeltWord(expected);
}

void TRpcJsonClientInputConnectionHandler::ReadReplyHeader() {
  reader_.ReadReplyObjectStart();
  const std::u16string name = reader_.ReadMemberName();
  reader_.ReadToken(T::kNameSeparator);
  if (name == u"error") ReadErrorAndRaise();
  ExpectName(name, "result");
}

void TRpcJsonClientInputConnectionHandler::ReadErrorAndRaise() {
  reader_.ReadToken(T::kObjectStart);
  std::optional<std::string> message;
  int32_t code = kRpcErrorNoMemory;
  if (reader_.PeekToken() != T::kObjectEnd) {
    size_t members = 0;
    do {
      if (++members > kMaxSkippedValues) RaiseRpcLimit(kMaxSkippedValues, "members of an error");
      const std::u16string name = reader_.ReadString();
      reader_.ReadToken(T::kNameSeparator);
      if (name == u"code") {
        code = reader_.ReadInt32();
      } else if (name == u"message") {
        message = reader_.ReadUtf8String();
      } else {
        reader_.SkipValue();  // "error" objects and the exception's class name
      }
    } while (reader_.SkipValueSeparator());
  }
  // The reply ends with this brace; nothing after it belongs to the reply.
  reader_.ReadToken(T::kObjectEnd);
  throw TRpcError(message ? RpcErrorMessage(*message, code) : std::string("unknown error"), code);
}

void TRpcJsonClientInputConnectionHandler::ReadConnectReply(TRpcConnectMessage& message) {
  ReadReplyHeader();
  reader_.ReadToken(T::kArrayStart);
  message.connection_handle = reader_.ReadInt32();
  reader_.ReadToken(T::kValueSeparator);
  message.product_name = reader_.ReadUtf8String();
  if (reader_.SkipValueSeparator()) {
    message.protocol_version = reader_.ReadInt32();
    reader_.SkipRemainingValues();
  }
  reader_.ReadToken(T::kArrayEnd);
  reader_.SkipToObjectEnd();
}

int64_t TRpcJsonClientInputConnectionHandler::ReadSingleNumberArray() {
  reader_.ReadToken(T::kArrayStart);
  const int64_t v = reader_.ReadInt64();
  reader_.SkipRemainingValues();
  reader_.ReadToken(T::kArrayEnd);
  return v;
}

TRpcParameterDescription TRpcJsonClientInputConnectionHandler::ReadParameterDescription() {
  TRpcParameterDescription d;
  reader_.ReadToken(T::kArrayStart);
  d.data_type = reader_.ReadInt32();
  reader_.ReadToken(T::kValueSeparator);
  d.sub_type = reader_.ReadInt32();
  reader_.ReadToken(T::kValueSeparator);
  d.direction = reader_.ReadInt32();
  reader_.ReadToken(T::kValueSeparator);
  d.precision = reader_.ReadInt64();
  reader_.ReadToken(T::kValueSeparator);
  d.scale = reader_.ReadInt32();
  reader_.ReadToken(T::kValueSeparator);
  d.name = reader_.ReadUtf8String();
  reader_.ReadToken(T::kValueSeparator);
  d.child_position = reader_.ReadInt32();
  reader_.ReadToken(T::kValueSeparator);
  d.size = reader_.ReadInt32();
  if (reader_.SkipValueSeparator()) {
    d.value_type_flags = reader_.ReadInt32();
    if ((d.value_type_flags & kLiteralParameterFlag) && reader_.SkipValueSeparator()) {
      d.literal = reader_.ReadUtf8String();
    }
    reader_.SkipRemainingValues();
  }
  reader_.ReadToken(T::kArrayEnd);
  d.value_type_flags |= kStreamValueFlag;
  const bool is_string = d.data_type == kRpcTypeZString || d.data_type == kRpcTypeWideString;
  const bool is_output = d.direction == 2 || d.direction == 3 || d.direction == 4;
  if (d.size == 0 && is_string && is_output && d.precision != 0) d.size = static_cast<int32_t>(d.precision);
  return d;
}

void TRpcJsonClientInputConnectionHandler::ReadParameters(TRpcCommandMessage& message) {
  reader_.ReadToken(T::kArrayStart);
  const int64_t count = reader_.ReadInt64();
  if (count > kMaxParameters) RaiseRpcLimit(kMaxParameters, "parameters");
  const bool fill = message.parameters != nullptr && message.parameters->empty();
  for (int64_t i = 0; i < count; ++i) {
    reader_.ReadToken(T::kValueSeparator);
    TRpcParameterDescription d = ReadParameterDescription();
    // Grows with the descriptions that arrive, never by the announced count.
    if (fill) message.parameters->push_back(std::move(d));
  }
  reader_.SkipRemainingValues();
  reader_.ReadToken(T::kArrayEnd);
  if (fill) message.received_parameters = true;
}

TRpcColumnDescription TRpcJsonClientInputConnectionHandler::ReadColumnDescription(bool new_style_flags) {
  TRpcColumnDescription c;
  reader_.ReadToken(T::kArrayStart);
  c.name = reader_.ReadUtf8String();
  reader_.ReadToken(T::kValueSeparator);
  c.data_type = reader_.ReadInt32();
  reader_.ReadToken(T::kValueSeparator);
  c.sub_type = reader_.ReadInt32();
  reader_.ReadToken(T::kValueSeparator);
  c.precision = reader_.ReadInt64();
  reader_.ReadToken(T::kValueSeparator);
  c.scale = reader_.ReadInt32();
  reader_.ReadToken(T::kValueSeparator);
  c.size = reader_.ReadInt32();
  reader_.ReadToken(T::kValueSeparator);
  const int32_t flags = reader_.ReadInt32();
  c.value_type_flags = new_style_flags ? flags : ConvertOldColumnFlags(flags);
  if (reader_.SkipValueSeparator()) {
    c.direction = reader_.ReadInt32();
    reader_.SkipRemainingValues();
  }
  reader_.ReadToken(T::kArrayEnd);
  return c;
}

void TRpcJsonClientInputConnectionHandler::ReadTable(TRpcTableResult& table) {
  // [{"fields":[H,U,R,G,Y]},{"columns":[n,C1,...]}]
  reader_.ReadToken(T::kArrayStart);
  reader_.ReadToken(T::kObjectStart);
  std::u16string name = reader_.ReadMemberName();
  reader_.ReadToken(T::kNameSeparator);
  if (name == u"fields") {
    reader_.ReadToken(T::kArrayStart);
    table.command_handle = reader_.ReadInt32();
    reader_.ReadToken(T::kValueSeparator);
    table.updateable = reader_.ReadBoolean();
    if (reader_.SkipValueSeparator()) {
      table.row_handle = reader_.ReadInt32();
      if (reader_.SkipValueSeparator()) {
        table.bcd_format = reader_.ReadInt32();
        if (reader_.SkipValueSeparator()) {
          table.new_style_flags = reader_.ReadBoolean();
          reader_.SkipRemainingValues();
        }
      }
    }
    reader_.ReadToken(T::kArrayEnd);
    reader_.ReadToken(T::kObjectEnd);
    reader_.ReadToken(T::kValueSeparator);
    reader_.ReadToken(T::kObjectStart);
    name = reader_.ReadMemberName();
    reader_.ReadToken(T::kNameSeparator);
  }
  ExpectName(name, "columns");
  reader_.ReadToken(T::kArrayStart);
  const int64_t count = reader_.ReadInt64();
  if (count > kMaxColumns) RaiseRpcLimit(kMaxColumns, "columns");
  for (int64_t i = 0; i < count; ++i) {
    reader_.ReadToken(T::kValueSeparator);
    table.columns.push_back(ReadColumnDescription(table.new_style_flags));
  }
  reader_.SkipRemainingValues();
  reader_.ReadToken(T::kArrayEnd);
  reader_.ReadToken(T::kObjectEnd);
  reader_.SkipRemainingValues();
  reader_.ReadToken(T::kArrayEnd);
}

void TRpcJsonClientInputConnectionHandler::ReadPrepareReply(TRpcPrepareMessage& message) {
  ReadReplyHeader();
  ReadCommandResult(message, nullptr);
}

void TRpcJsonClientInputConnectionHandler::ReadCommandResult(TRpcCommandMessage& message,
                                                             TRpcExecuteMessage* execute) {
  reader_.ReadToken(T::kArrayStart);
  if (reader_.PeekToken() == T::kObjectStart) {
    size_t objects = 0;
    do {
      if (++objects > kMaxSkippedValues) RaiseRpcLimit(kMaxSkippedValues, "objects in a result");
      reader_.ReadToken(T::kObjectStart);
      const std::u16string name = reader_.ReadMemberName();
      reader_.ReadToken(T::kNameSeparator);
      if (name == u"handle") {
        message.command_handle = static_cast<int32_t>(ReadSingleNumberArray());
      } else if (name == u"parameters") {
        ReadParameters(message);
      } else if (execute != nullptr && name == u"rows") {
        execute->rows_affected = ReadSingleNumberArray();
      } else if (execute != nullptr && name == u"data") {
        Bytes row;
        reader_.ReadDataArray(row);
        execute->reply_row = std::move(row);
      } else if (execute != nullptr && name == u"session") {
        reader_.ReadToken(T::kArrayStart);
        reader_.SkipValue();
        reader_.ReadToken(T::kValueSeparator);
        const int32_t level = reader_.ReadInt32();
        if (level >= 0) execute->isolation_level = level;
        reader_.SkipRemainingValues();
        reader_.ReadToken(T::kArrayEnd);
      } else if (execute != nullptr && name == u"table") {
        execute->table.emplace();
        ReadTable(*execute->table);
      } else {
        reader_.SkipValue();  // the prepare reply's fields object and unknown members
      }
      reader_.ReadToken(T::kObjectEnd);
    } while (reader_.SkipValueSeparator());
  }
  reader_.ReadToken(T::kArrayEnd);
  reader_.SkipToObjectEnd();
}

void TRpcJsonClientInputConnectionHandler::AnswerMoreBlob(TRpcExecuteMessage& message) {
  // [H,J,W,O,R]
  reader_.ReadToken(T::kArrayStart);
  reader_.ReadInt32();
  reader_.ReadToken(T::kValueSeparator);
  reader_.ReadInt32();
  reader_.ReadToken(T::kValueSeparator);
  reader_.ReadInt64();
  reader_.ReadToken(T::kValueSeparator);
  const int64_t ordinal = reader_.ReadInt64();
  reader_.SkipRemainingValues();
  reader_.ReadToken(T::kArrayEnd);
  reader_.SkipToObjectEnd();

  // The part fills the rest of the write buffer behind the answer's opening.
  const size_t room = writer_.buffer_size() > 21 ? writer_.buffer_size() - 21 : 1;
  std::span<const uint8_t> part;
  bool last = true;
  for (TRpcPendingInput& input : message.pending_inputs) {
    if (ordinal < 0 || input.ordinal != static_cast<size_t>(ordinal)) continue;
    part = input.rest.first(std::min(room, input.rest.size()));
    input.rest = input.rest.subspan(part.size());
    last = input.rest.empty();
    break;
  }
  writer_.WriteMoreBlobAnswer(part, last);
  writer_.Flush();
}

void TRpcJsonClientInputConnectionHandler::AnswerCallback() {
  Bytes ignored;
  reader_.ReadDataArray(ignored);
  reader_.SkipToObjectEnd();
  writer_.WriteRaw(std::string_view("{\"error\":{\"name\":"));
  writer_.WriteString(std::string_view("TRpcError"));
  writer_.WriteRaw(std::string_view(",\"code\":0,\"message\":"));
  writer_.WriteString(std::string_view("This client has no callbacks"));
  writer_.WriteRaw(std::string_view("}"));
  writer_.Flush();
}

void TRpcJsonClientInputConnectionHandler::ReadMetadata() {
  Bytes text;
  reader_.ReadDataArray(text);
  reader_.SkipToObjectEnd();
  nlohmann::json parsed = nlohmann::json::parse(text.begin(), text.end(), nullptr, false);
  if (parsed.is_discarded() || !parsed.is_object()) throw TRpcError("Cannot parse properly the metadata value");
  metadata_ = std::move(parsed);
}

void TRpcJsonClientInputConnectionHandler::ReadExecuteReply(TRpcExecuteMessage& message) {
  for (size_t requests = 0;; ++requests) {
    if (requests == kMaxServerRequests) RaiseRpcLimit(kMaxServerRequests, "server requests before a result");
    reader_.ReadReplyObjectStart();
    const std::u16string name = reader_.ReadMemberName();
    reader_.ReadToken(T::kNameSeparator);
    if (name == u"result") break;
    if (name == u"error") ReadErrorAndRaise();
    if (name == u"more_blob") {
      AnswerMoreBlob(message);
    } else if (name == u"metadata") {
      ReadMetadata();
    } else if (name == u"callback") {
      AnswerCallback();
    } else {
      ExpectName(name, "result");
    }
  }
  ReadCommandResult(message, &message);
  if (message.table) ReadTableBlock(*message.table);
}

void TRpcJsonClientInputConnectionHandler::ReadTableBlock(TRpcTableResult& table) {
  reader_.ReadReplyObjectStart();
  const std::u16string name = reader_.ReadMemberName();
  reader_.ReadToken(T::kNameSeparator);
  if (name == u"error") ReadErrorAndRaise();
  ExpectName(name, "data");
  table.block.clear();
  const int64_t count = reader_.ReadDataArray(table.block);
  table.last_block = count <= 0;
  reader_.SkipToObjectEnd();
}

bool TRpcJsonClientInputConnectionHandler::ReadMoreBlobReply(const ByteSink& sink) {
  ReadReplyHeader();
  reader_.ReadToken(T::kArrayStart);
  reader_.ReadToken(T::kObjectStart);
  ExpectName(reader_.ReadMemberName(), "data");
  reader_.ReadToken(T::kNameSeparator);
  const int64_t count = reader_.ReadDataArray(sink);
  reader_.ReadToken(T::kObjectEnd);
  reader_.ReadToken(T::kArrayEnd);
  reader_.SkipToObjectEnd();
  return count <= 0;
}

}  // namespace selvane
