#include "rpc/rpc_parameter.h"

#include <array>

#include "base/text.h"
#include "rpc/field_codec.h"
#include "rpc/json_client_output_handler.h"
#include "rpc/rpc_command.h"
#include "rpc/rpc_connection.h"
#include "rpc/rpc_error.h"
#include "rpc/variant_stream.h"

namespace selvane {

std::string RpcTypeName(int32_t data_type) {
  static constexpr std::array<const char*, 38> kNames{
      "UNKNOWN", "ZSTRING", "DATE", "BLOB", "BOOL", "INT16", "INT32", "DOUBLE", "BCD", "BYTES",
      "TIME", "DATETIME", "UINT16", "UINT32", nullptr, "VARBYTES", nullptr, "CURSOR", "INT64", "UINT64",
      "ADT", "ARRAY_TYPE", "REF", "TABLE", "TIMESTAMP", "Currency", "WideString", "SINGLE", "INT8", "UINT8",
      nullptr, nullptr, nullptr, nullptr, nullptr, "Variant", "TIMESTAMPOFFSET", "JSON"};
  if (data_type >= 0 && data_type < static_cast<int32_t>(kNames.size()) && kNames[data_type] != nullptr) {
    return std::string("TRpcTypes.") + kNames[data_type];
  }
  return "UNKNOWN(" + std::to_string(data_type) + ")";
}

TRpcParameter::TRpcParameter(TRpcCommand& command, size_t ordinal, TRpcParameterDescription description)
    : command_(command), ordinal_(ordinal), description_(std::move(description)) {
  if (description_.literal) SetWideString(*description_.literal);
}

void TRpcParameter::SetInt32(int32_t value) {
  kind_ = Kind::kInt32;
  int_value_ = value;
  bytes_.clear();
}

void TRpcParameter::SetWideString(const std::string& utf8) {
  kind_ = Kind::kString;
  bytes_ = EncodeStringBytes(Utf8ToUtf16(utf8));
}

void TRpcParameter::SetAsVariant(const OleVariant& value) {
  if (value.IsNull()) {
    SetNull();
    return;
  }
  kind_ = Kind::kStream;
  bytes_ = VariantToStream(value);
}

void TRpcParameter::SetNull() {
  kind_ = Kind::kNull;
  bytes_.clear();
}

void TRpcParameter::ReleaseValue() {
  kind_ = Kind::kNotSet;
  Bytes().swap(bytes_);
}

int32_t TRpcParameter::GetInt32() {
  if (auto v = DecodeInt32Field(FieldAt(command_.reply_row(), ordinal_))) int_value_ = *v;
  return int_value_;
}

std::string TRpcParameter::GetWideString() {
  auto v = DecodeWideStringField(FieldAt(command_.reply_row(), ordinal_));
  return v ? Utf16ToUtf8(*v) : std::string();
}

OleVariant TRpcParameter::GetAsVariant() {
  if (description_.direction == kParamIn) {
    return kind_ == Kind::kStream ? StreamToVariant(bytes_) : OleVariant();
  }
  Bytes stream;
  if (!ReadStream([&stream](ByteSpan part) { stream.insert(stream.end(), part.begin(), part.end()); })) {
    return OleVariant::Null();
  }
  return StreamToVariant(stream);
}

bool TRpcParameter::ReadStream(const std::function<void(std::span<const uint8_t>)>& sink, uint32_t max_parts) {
  if (description_.direction == kParamIn) {
    if (kind_ != Kind::kStream) return false;
    sink(bytes_);
    return true;
  }
  const StreamField field = ParseStreamField(FieldAt(command_.reply_row(), ordinal_));
  if (field.kind == StreamField::Kind::kNull) return false;
  if (!field.inline_bytes.empty()) sink(field.inline_bytes);
  if (field.kind == StreamField::Kind::kComplete) return true;

  // Later parts come from the server, one more_blob request per part.
  if (command_.closed() || command_.connection() == nullptr) {
    throw TRpcError("Command closed or executed again", kRpcErrorInvalidHandle);
  }
  const uint64_t generation = command_.generation();
  const int32_t blob_handle = command_.NextBlobHandle();
  TRpcJsonClientOutputConnectionHandler& handler = command_.LiveConnection().handler();
  for (uint32_t parts = 0;; ++parts) {
    if (command_.closed() || command_.generation() != generation) {
      throw TRpcError("Command closed or executed again", kRpcErrorInvalidHandle);
    }
    if (parts == max_parts) throw TRpcError(std::string(kTooManyPartsText));
    if (handler.RpcMoreBlob(command_.handle(), blob_handle, 0, static_cast<int32_t>(ordinal_), true, 0, sink)) {
      return true;
    }
  }
}

}  // namespace selvane
