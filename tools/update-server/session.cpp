#include "session.h"

#include <algorithm>
#include <array>
#include <exception>
#include <utility>

#include "base/byte_order.h"
#include "base/text.h"
#include "rpc/field_codec.h"
#include "rpc/rpc_command.h"
#include "rpc/rpc_error.h"
#include "rpc/rpc_parameter.h"
#include "rpc/transport_filter_tools.h"
#include "rpc/variant_stream.h"
#include "metadata_table.h"
#include "protocol/credentials.h"

namespace selvane::refserver {

namespace {

using Tok = TRpcJsonToken;

constexpr size_t kReadBuffer = 64 * 1024;
constexpr size_t kWriteBuffer = 64 * 1024;
constexpr uint8_t kBlobFieldHeader = 0x08;

// A protocol violation by the client: the conversation cannot go on.
class ProtocolError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The type code under which the client's remote layer knows a parameter.
int32_t TypeCode(ValueKind value) {
  switch (value) {
    case ValueKind::kInt32:
      return kRpcTypeInt32;
    case ValueKind::kWideString:
      return kRpcTypeWideString;
    case ValueKind::kPacket:
      break;
  }
  return kRpcTypeVariant;
}

int32_t Direction(const MethodParameter& p) { return p.is_return ? kParamReturn : kParamIn; }

bool IsSegmented(ByteSpan field) {
  return !field.empty() && (field[0] == kSegmentedFieldHeader || (field[0] >= 0x08 && field[0] <= 0x0F));
}

}  // namespace

Session::Session(TRpcChannel& channel, UpdateService& service, const ServerOptions& options,
                 int32_t connection_handle, std::function<void(int64_t)> drop_after,
                 std::function<void(int64_t)> silence_after)
    : reader_(channel, kReadBuffer),
      writer_(channel, kWriteBuffer),
      service_(service),
      options_(options),
      connection_handle_(connection_handle),
      drop_after_(std::move(drop_after)),
      silence_after_(std::move(silence_after)) {}

void Session::SilenceAt(SilentPhase phase, int64_t budget) {
  if (silence_set_ || options_.silent_at != phase || !silence_after_) return;
  silence_set_ = true;
  silence_after_(budget);
}

void Session::Run() {
  Handshake();
  while (ServeRequest()) {
  }
}

void Session::Handshake() {
  Bytes query;
  reader_.ReadRawBytes(kFilterQuery.size(), query);
  if (!std::equal(query.begin(), query.end(), kFilterQuery.begin())) throw ProtocolError("no filter query");
  SilenceAt(SilentPhase::kHandshake);
  writer_.WriteRaw(kNoFilter);
  writer_.Flush();
}

std::string Session::ReadName() {
  std::string name = Utf16ToUtf8(reader_.ReadMemberName());
  reader_.ReadToken(Tok::kNameSeparator);
  return name;
}

void Session::EndRequest() {
  reader_.ReadToken(Tok::kArrayEnd);
  reader_.ReadToken(Tok::kObjectEnd);
}

bool Session::ServeRequest() {
  reader_.ReadToken(Tok::kObjectStart);
  if (ReadName() != "method") throw ProtocolError("request without method");
  const std::string method = reader_.ReadUtf8String();
  reader_.ReadToken(Tok::kValueSeparator);
  if (ReadName() != "params") throw ProtocolError("request without params");
  reader_.ReadToken(Tok::kArrayStart);

  // A reply that is being cut short counts only its own bytes.
  if (method != "more_blob" && drop_after_) drop_after_(-1);
  if (request_log_ && method != "execute") request_log_(method);

  if (method == "connect") {
    Connect();
  } else if (method == "disconnect") {
    reader_.ReadInt32();
    EndRequest();
    return false;
  } else if (!connected_) {
    SkipParams();
    WriteError("Not connected", 21);
  } else if (method == "prepare") {
    Prepare();
  } else if (method == "execute") {
    Execute();
  } else if (method == "more_blob") {
    MoreBlob();
  } else if (method == "command_close") {
    const int32_t handle = reader_.ReadInt32();
    EndRequest();
    commands_.erase(handle);
    pending_.erase(handle);
  } else if (method == "reader_close") {
    reader_.ReadInt32();
    reader_.ReadToken(Tok::kValueSeparator);
    reader_.ReadInt32();
    EndRequest();
  } else {
    // "next" included: every table this server sends is complete in its first block.
    SkipParams();
    WriteError("Unsupported request: " + method, 5);
  }
  return true;
}

std::pair<std::string, std::string> Session::ReadTypeAndText() {
  reader_.ReadToken(Tok::kValueSeparator);
  reader_.ReadBoolean();
  reader_.ReadToken(Tok::kValueSeparator);
  std::string type = reader_.ReadUtf8String();
  reader_.ReadToken(Tok::kValueSeparator);
  return {std::move(type), reader_.ReadUtf8String()};
}

void Session::SkipParams() {
  while (reader_.PeekToken() != Tok::kArrayEnd) {
    reader_.SkipValue();
    reader_.SkipValueSeparator();
  }
  EndRequest();
}

void Session::Connect() {
  std::string user, password;
  reader_.ReadToken(Tok::kObjectStart);
  while (reader_.PeekToken() != Tok::kObjectEnd) {
    const std::string name = ReadName();
    const std::string value = reader_.ReadUtf8String();
    if (name == "DSAuthenticationUser") user = value;
    if (name == "DSAuthenticationPassword") password = value;
    if (!reader_.SkipValueSeparator()) break;
  }
  reader_.ReadToken(Tok::kObjectEnd);
  EndRequest();

  if (user != kDSAuthenticationUser || password != kDSAuthenticationPassword) {
    WriteError(std::string(kAuthFailedMessage), kAuthFailedCode);
    return;
  }
  connected_ = true;
  SilenceAt(SilentPhase::kConnect);
  BeginResult();
  writer_.WriteInt32(connection_handle_);
  writer_.WriteValueSeparator();
  writer_.WriteString(kProductName);
  writer_.WriteValueSeparator();
  writer_.WriteInt32(kProtocolVersion);
  EndResult();
}

void Session::Prepare() {
  int32_t handle = reader_.ReadInt32();
  const auto [type, text] = ReadTypeAndText();
  EndRequest();

  const RemoteMethod* m = FindMethodByText(text);
  if (type != kServerMethodCommandType || !m) {
    WriteError("Método desconhecido: " + text, 31);
    return;
  }
  if (handle < 0 || !commands_.contains(handle)) handle = next_handle_++;
  commands_[handle] = m;

  SilenceAt(SilentPhase::kPrepare);
  BeginResult();
  WriteHandle(handle);
  writer_.WriteValueSeparator();
  writer_.WriteObjectStart();
  writer_.WriteName("parameters");
  writer_.WriteArrayStart();
  writer_.WriteInt32(static_cast<int32_t>(m->parameters.size()));
  for (const MethodParameter& p : m->parameters) {
    // DataType, SubType, ParameterDirection, Precision, Scale, Name, ChildPosition, Size, ValueTypeFlags
    writer_.WriteValueSeparator();
    writer_.WriteArrayStart();
    WriteNumbersBefore({TypeCode(p.value), 0, Direction(p), 0, 0});
    writer_.WriteString(p.name);
    for (int32_t v : {0, p.size, 0}) {
      writer_.WriteValueSeparator();
      writer_.WriteInt32(v);
    }
    writer_.WriteArrayEnd();
  }
  writer_.WriteArrayEnd();
  writer_.WriteObjectEnd();
  EndResult();
}

void Session::Execute() {
  reader_.ReadToken(Tok::kObjectStart);
  const std::string form = ReadName();
  reader_.ReadToken(Tok::kArrayStart);
  const int32_t handle = reader_.ReadInt32();
  if (form == "fields") {
    const auto [type, text] = ReadTypeAndText();
    reader_.ReadToken(Tok::kArrayEnd);
    reader_.ReadToken(Tok::kObjectEnd);
    EndRequest();
    ExecuteMetadata(handle, type, text);
    return;
  }
  if (form != "handle") throw ProtocolError("execute without handle");
  reader_.ReadToken(Tok::kArrayEnd);
  reader_.ReadToken(Tok::kObjectEnd);
  Bytes row;
  if (reader_.SkipValueSeparator()) {
    reader_.ReadToken(Tok::kObjectStart);
    if (ReadName() != "data") throw ProtocolError("execute without data");
    reader_.ReadDataArray(row);
    reader_.ReadToken(Tok::kObjectEnd);
  }
  EndRequest();
  ExecuteMethod(handle, row);
}

void Session::ExecuteMetadata(int32_t handle, const std::string& type, const std::string& text) {
  if (type != "Dbx.MetaData" || text != "GetDatabase") {
    WriteError("Unsupported command: " + type + " " + text, 31);
    return;
  }
  if (handle < 0) handle = next_handle_++;
  SilenceAt(SilentPhase::kMetadata);
  BeginResult();
  WriteHandle(handle);
  writer_.WriteValueSeparator();
  WriteMetadataTable(writer_, handle);
  EndResult(false);
  // The table's one and last block: a negative count.
  const Bytes row = MetadataRow();
  writer_.WriteDataBlock(-static_cast<int64_t>(row.size()), row);
  writer_.Flush();
}

Bytes Session::InputValue(int32_t handle, int32_t ordinal, ByteSpan field) {
  const StreamField f = ParseStreamField(field);
  Bytes value(f.inline_bytes.begin(), f.inline_bytes.end());
  const int32_t blob = next_blob_++;
  for (;;) {
    // {"more_blob":[command handle, blob handle, row, ordinal, row handle]}
    writer_.WriteObjectStart();
    writer_.WriteName("more_blob");
    writer_.WriteArrayStart();
    WriteNumbersBefore({handle, blob, 0, ordinal});
    writer_.WriteInt32(0);
    writer_.WriteArrayEnd();
    writer_.WriteObjectEnd();
    writer_.Flush();

    int64_t count = 0;
    try {
      reader_.ReadToken(Tok::kObjectStart);
      if (ReadName() != "data") throw ProtocolError("more_blob answered without data");
      count = reader_.ReadDataArray(value);
      reader_.ReadToken(Tok::kObjectEnd);
    } catch (const TRpcError& e) {
      // Out of step with the client: no reply can follow.
      throw ProtocolError(e.what());
    }
    if (value.size() > kMaxInputValue) throw ProtocolError("input value too large");
    if (count <= 0) return value;
  }
}

void Session::ExecuteMethod(int32_t handle, const Bytes& row) {
  const auto it = commands_.find(handle);
  if (it == commands_.end()) {
    WriteError("Command closed or executed again", 4);
    return;
  }
  const RemoteMethod& m = *it->second;
  pending_.erase(handle);
  if (request_log_) request_log_("execute " + std::string(m.text));

  // Inputs are taken whole, later parts included, before anything can fail, so
  // that an error reply leaves the conversation in step.
  std::u16string path;
  int32_t number = 0;
  OleVariant listing = OleVariant::Null();
  try {
    for (size_t i = 0; i < m.parameters.size(); ++i) {
      const MethodParameter& p = m.parameters[i];
      if (p.is_return) continue;
      const ByteSpan field = FieldAt(row, i);
      const int32_t ordinal = static_cast<int32_t>(i);
      if (p.value == ValueKind::kWideString) {
        path = IsSegmented(field) ? DecodeStringBytes(InputValue(handle, ordinal, field))
                                  : DecodeWideStringField(field).value_or(u"");
      } else if (p.value == ValueKind::kInt32) {
        number = DecodeInt32Field(field).value_or(0);
      } else if (IsSegmented(field)) {
        const Bytes stream = InputValue(handle, ordinal, field);
        listing = StreamToVariant(stream);
      } else {
        const StreamField f = ParseStreamField(field);
        listing = f.kind == StreamField::Kind::kNull ? OleVariant::Null() : StreamToVariant(f.inline_bytes);
      }
    }
  } catch (const TRpcError& e) {
    WriteError(e.what(), e.ErrorCode());
    return;
  }

  Bytes reply;
  try {
    for (const MethodParameter& p : m.parameters) {
      if (!p.is_return) AppendNullField(reply);
    }
    switch (m.kind) {
      case MethodKind::kGetNumeroAtualizacao:
        AppendIntegerField(reply, service_.GetNumeroAtualizacao());
        break;
      case MethodKind::kRetornaArquivo:
        AppendResult(reply, handle, service_.ServeArquivo(Utf16ToUtf8(path), number));
        break;
      case MethodKind::kFolder:
        AppendResult(reply, handle, ServedValue(VariantToStream(service_.FolderMethod(m.text, listing))));
        break;
      case MethodKind::kAtualizaAtualizador:
        AppendResult(reply, handle, ServedValue(VariantToStream(service_.AtualizaAtualizador(listing))));
        break;
    }
  } catch (const TRpcError& e) {
    WriteError(e.what(), e.ErrorCode());
    return;
  } catch (const std::exception& e) {
    WriteError(e.what(), 2);
    return;
  }

  if (m.kind == MethodKind::kRetornaArquivo && options_.drop_after_bytes >= 0 && drop_after_) {
    drop_after_(options_.drop_after_bytes);
  }
  SilenceAt(SilentPhase::kExecute);
  if (m.kind == MethodKind::kRetornaArquivo) SilenceAt(SilentPhase::kPart, kSilentPartBytes);
  BeginResult();
  writer_.WriteDataBlock(reply);
  EndResult();
}

void Session::AppendResult(Bytes& row, int32_t handle, ServedValue value) {
  if (value.size() <= kMaxInlinePart) {
    AppendStreamField(row, value.Gather(), kMaxInlinePart);
    return;
  }
  // Larger values leave in parts that the client asks for with more_blob.
  uint64_t sent = 0;
  if (options_.blob_header) {
    row.push_back(kBlobFieldHeader);
    AppendBigEndian(row, static_cast<uint32_t>(value.size()), 4);
  } else {
    // One byte more than fits, so that the field is marked as followed by parts.
    Bytes first;
    value.Read(0, kMaxInlinePart + 1, part_buffer_,
               [&first](std::span<const uint8_t> piece) { first.insert(first.end(), piece.begin(), piece.end()); });
    sent = AppendStreamField(row, first, kMaxInlinePart);
  }
  pending_[handle] = Pending{std::move(value), sent};
}

void Session::MoreBlob() {
  const int32_t handle = reader_.ReadInt32();
  reader_.ReadToken(Tok::kValueSeparator);
  reader_.ReadInt32();  // blob handle: one value per command is pending at a time
  reader_.ReadToken(Tok::kValueSeparator);
  reader_.ReadInt64();  // row
  reader_.ReadToken(Tok::kValueSeparator);
  reader_.ReadInt32();  // ordinal: the return value
  reader_.ReadToken(Tok::kValueSeparator);
  reader_.ReadBoolean();
  reader_.ReadToken(Tok::kValueSeparator);
  reader_.ReadInt32();  // row handle
  EndRequest();

  const auto it = pending_.find(handle);
  if (it == pending_.end()) {
    WriteError("Command closed or executed again", 4);
    return;
  }
  Pending& p = it->second;
  const uint64_t n = std::min<uint64_t>(options_.part_size, p.value.size() - p.sent);
  // With an empty last part, the part that ends the bytes still counts as not the last.
  const bool last = p.sent + n == p.value.size() && (n == 0 || !options_.empty_last_part);
  // {"result":[{"data":[N,B]}]}, the bytes written from where the value keeps them.
  BeginResult();
  writer_.WriteRaw("{\"data\":[");
  writer_.WriteInt64(last ? -static_cast<int64_t>(n) : static_cast<int64_t>(n));
  writer_.WriteValueSeparator();
  p.value.Read(p.sent, n, part_buffer_, [this](std::span<const uint8_t> piece) { writer_.WriteRaw(piece); });
  writer_.WriteRaw("]}");
  EndResult();
  p.sent += n;
  if (last) pending_.erase(it);
}

void Session::BeginResult() {
  writer_.WriteObjectStart();
  writer_.WriteName("result");
  writer_.WriteArrayStart();
}

void Session::EndResult(bool flush) {
  writer_.WriteArrayEnd();
  writer_.WriteObjectEnd();
  if (flush) writer_.Flush();
}

void Session::WriteNumbersBefore(std::initializer_list<int64_t> values) {
  for (int64_t v : values) {
    writer_.WriteInt64(v);
    writer_.WriteValueSeparator();
  }
}

void Session::WriteHandle(int32_t handle) {
  writer_.WriteObjectStart();
  writer_.WriteName("handle");
  writer_.WriteArrayStart();
  writer_.WriteInt32(handle);
  writer_.WriteArrayEnd();
  writer_.WriteObjectEnd();
}

void Session::WriteError(const std::string& message, int32_t code, std::string_view name) {
  // {"error":{"name":"E","code":K,"message":"M"}: the outer object is never closed.
  writer_.WriteObjectStart();
  writer_.WriteName("error");
  writer_.WriteObjectStart();
  writer_.WriteName("name");
  writer_.WriteString(name);
  writer_.WriteValueSeparator();
  writer_.WriteName("code");
  writer_.WriteInt32(code);
  writer_.WriteValueSeparator();
  writer_.WriteName("message");
  writer_.WriteString(message);
  writer_.WriteObjectEnd();
  writer_.Flush();
}

}  // namespace selvane::refserver
