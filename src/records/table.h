#pragma once
// The table under a record set: field layout, rows and change log. Rows read
// from a packet stay in the packet's bytes and are decoded on access; rows
// posted here are kept in the same encoded form.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "base/ole_variant.h"
#include "records/packet_reader.h"
#include "records/row_codec.h"
#include "records/table_types.h"

namespace selvane {

class Table {
 public:
  // An empty table; a field it cannot lay out throws "Operation not applicable.".
  explicit Table(std::vector<TableFieldDesc> fields);
  // The table a packet describes. The bytes must outlive the table and stay
  // unchanged; they are not copied. Throws EDBClient.
  static std::unique_ptr<Table> Load(std::span<const uint8_t> packet);

  size_t ColumnCount() const { return columns_.size(); }
  // How each column's values are laid out in rows, and their longest length.
  std::span<const ColumnShape> Shapes() const { return shapes_; }
  const TableFieldDesc& Field(size_t column) const { return columns_[column].desc; }
  // A kept FIELDNAME parameter's text, if any.
  std::optional<std::string> FieldNameParam(size_t column) const;

  size_t StoredRows() const { return packet_rows_.offsets.size() + posted_.size(); }
  uint8_t RowState(size_t row) const { return RowBytes(row)[0]; }
  bool IsVisible(size_t row) const { return (RowState(row) & kNotVisible) == 0; }
  // The column's stored value: text cut to its width and ended at its first
  // zero, a zero-length blob as null.
  RowField Value(size_t row, size_t column) const;

  // Stores a row: one value per column (nullopt for null), text values lose
  // their trailing blanks; logs the insert.
  void AppendRow(std::span<const std::optional<Bytes>> values);

  // The table as a data packet.
  Bytes StreamDS() const;

  // Flat triples: record number, previous version, change state.
  const std::vector<uint32_t>& ChangeLog() const { return change_log_; }

  static constexpr uint8_t kNotVisible = 35;  // dsRecOrg | dsRecDeleted | dsUnused
  static constexpr uint8_t dsRecNew = 4;
  static constexpr uint8_t dsUnused = 32;

 private:
  struct Column {
    TableFieldDesc desc;
    uint32_t row_code = 0;  // the type code the stored rows are encoded with
    std::vector<PacketParam> kept_params;
  };

  Table() = default;
  std::span<const uint8_t> RowBytes(size_t row) const;
  RowField Stored(size_t column, RowField raw) const;
  void LayOut();
  void ApplyTableParams(std::span<const PacketParam> params);

  std::vector<Column> columns_;
  std::vector<ColumnShape> shapes_;
  std::span<const uint8_t> packet_;
  PacketRows packet_rows_;
  std::vector<Bytes> posted_;
  std::vector<uint32_t> change_log_;
  std::vector<PacketParam> kept_table_params_;  // in writing order
  bool has_autoinc_field_ = false;
  // The fields of the row read last: a row is walked once however many of
  // its columns are read.
  mutable size_t cached_row_ = static_cast<size_t>(-1);
  mutable std::vector<RowField> cached_fields_;
};

}  // namespace selvane
