#pragma once
// The record set's state, shared by TRecordSet and its fields.

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "base/code_page.h"
#include "records/field.h"
#include "records/field_defs.h"
#include "records/record_set.h"
#include "records/table.h"

namespace selvane {

struct TRecordSet::Impl {
  explicit Impl(CodePage& c) : code_page(c) {}

  // The value a field shows: the pending row's in the insert state, else the
  // current row's; null on a closed or empty record set.
  RowField ValueOf(int column) const;
  void CheckActive() const;
  void CheckInsertState() const;
  // The pending value of a column, ready to be assigned.
  std::optional<Bytes>& PendingValue(int column);

  CodePage& code_page;
  TFieldDefs defs;
  TDataSetState state = TDataSetState::dsInactive;
  Bytes packet;  // the packet SetData kept; the table reads from it
  std::unique_ptr<Table> table;
  std::vector<std::unique_ptr<TField>> fields;
  std::unordered_map<std::string, size_t> by_name;  // folded name -> index in fields

  static constexpr size_t kNoRow = static_cast<size_t>(-1);
  size_t current = kNoRow;  // stored row under the cursor
  int64_t rec_no = 0;
  int64_t visible_rows = 0;
  bool eof = true;

  std::vector<std::optional<Bytes>> pending;  // one value per table column
  bool pending_assigned = false;
};

}  // namespace selvane
