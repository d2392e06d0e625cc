#pragma once
// Reads the rows of a table result block by block: fields column by column,
// a next request when a block that was not the table's last is used up, and
// reader_close when the reader is released.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "rpc/field_codec.h"
#include "rpc/rpc_messages.h"

namespace selvane {

class TRpcJsonClientOutputConnectionHandler;

class TRpcTableReader {
 public:
  TRpcTableReader(TRpcJsonClientOutputConnectionHandler& handler, TRpcTableResult table)
      : handler_(handler), table_(std::move(table)) {}

  // Moves to the next row; false after the last.
  bool Next();
  // Sends reader_close when the table has a row handle of 0 or more (once).
  void Close();

  const std::vector<TRpcColumnDescription>& columns() const { return table_.columns; }
  int ColumnIndex(std::string_view name) const;  // -1 when absent
  // Values of the current row by column, converted from the column's type.
  std::optional<std::string> GetString(size_t column) const;
  std::optional<int32_t> GetInt32(size_t column) const;
  std::optional<bool> GetBoolean(size_t column) const;

 private:
  ByteSpan Field(size_t column) const;

  TRpcJsonClientOutputConnectionHandler& handler_;
  TRpcTableResult table_;
  bool started_ = false;
  bool closed_ = false;
  size_t row_start_ = 0;
  std::vector<size_t> field_offsets_;  // of the current row, plus its end
  int64_t rows_read_ = 0;
};

}  // namespace selvane
