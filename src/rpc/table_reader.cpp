#include "rpc/table_reader.h"

#include "base/text.h"
#include "rpc/json_client_output_handler.h"
#include "rpc/rpc_error.h"
#include "rpc/rpc_parameter.h"

namespace selvane {

bool TRpcTableReader::Next() {
  size_t pos = started_ ? field_offsets_.back() : 0;
  started_ = true;
  field_offsets_.clear();
  while (pos >= table_.block.size()) {
    if (table_.last_block) return false;
    handler_.RpcNext(table_, rows_read_);
    pos = 0;
  }
  const ByteSpan block(table_.block);
  row_start_ = pos;
  for (size_t c = 0; c < table_.columns.size(); ++c) {
    field_offsets_.push_back(pos);
    pos += FieldLength(block.subspan(pos));
  }
  field_offsets_.push_back(pos);
  ++rows_read_;
  return true;
}

void TRpcTableReader::Close() {
  if (closed_) return;
  closed_ = true;
  if (table_.row_handle >= 0) handler_.RpcReaderClose(table_.row_handle, table_.command_handle);
}

int TRpcTableReader::ColumnIndex(std::string_view name) const {
  for (size_t i = 0; i < table_.columns.size(); ++i) {
    if (table_.columns[i].name == name) return static_cast<int>(i);
  }
  return -1;
}

ByteSpan TRpcTableReader::Field(size_t column) const {
  if (column + 1 >= field_offsets_.size()) throw TRpcError("Invalid ordinal", 8);
  const size_t begin = field_offsets_[column];
  return ByteSpan(table_.block).subspan(begin, field_offsets_[column + 1] - begin);
}

std::optional<std::string> TRpcTableReader::GetString(size_t column) const {
  const ByteSpan field = Field(column);
  if (table_.columns[column].data_type == kRpcTypeZString) {
    auto ansi = DecodeAnsiStringField(field);
    if (!ansi) return std::nullopt;
    // One byte per character: the byte's value is the code unit.
    std::u16string units;
    for (char c : *ansi) units.push_back(static_cast<unsigned char>(c));
    return Utf16ToUtf8(units);
  }
  auto wide = DecodeWideStringField(field);
  if (!wide) return std::nullopt;
  return Utf16ToUtf8(*wide);
}

std::optional<int32_t> TRpcTableReader::GetInt32(size_t column) const { return DecodeInt32Field(Field(column)); }

std::optional<bool> TRpcTableReader::GetBoolean(size_t column) const { return DecodeBooleanField(Field(column)); }

}  // namespace selvane
