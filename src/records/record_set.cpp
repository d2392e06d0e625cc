#include "records/record_set.h"

#include <algorithm>
#include <utility>

#include "records/db_errors.h"
#include "records/field_mapping.h"
#include "records/record_set_impl.h"

namespace selvane {

namespace {

// Field names are found case-insensitively: ASCII and Latin-1 letters fold
// to lower case, every other byte stays as it is.
std::string FoldName(std::string_view name) {
  std::string out;
  out.reserve(name.size());
  for (size_t i = 0; i < name.size(); ++i) {
    const auto c = static_cast<unsigned char>(name[i]);
    if (c >= 'A' && c <= 'Z') {
      out.push_back(static_cast<char>(c - 'A' + 'a'));
    } else if (c == 0xC3 && i + 1 < name.size()) {
      // U+00C0..U+00DE except U+00D7 are 0xC3 0x80..0x9E in UTF-8.
      auto next = static_cast<unsigned char>(name[i + 1]);
      if (next >= 0x80 && next <= 0x9E && next != 0x97) next = static_cast<unsigned char>(next + 0x20);
      out.push_back(static_cast<char>(c));
      out.push_back(static_cast<char>(next));
      ++i;
    } else {
      out.push_back(static_cast<char>(c));
    }
  }
  return out;
}

[[noreturn]] void ThrowClosed() {
  throw EDatabaseError("Cannot perform this operation on a closed dataset");
}

}  // namespace

RowField TRecordSet::Impl::ValueOf(int column) const {
  const auto c = static_cast<size_t>(column);
  if (state == TDataSetState::dsInsert) {
    const auto& v = pending[c];
    if (!v) return {};
    return {FieldStatus::kValue, {std::span<const uint8_t>(*v)}};
  }
  if (state == TDataSetState::dsBrowse && current != kNoRow) return table->Value(current, c);
  return {};
}

void TRecordSet::Impl::CheckActive() const {
  if (state == TDataSetState::dsInactive) ThrowClosed();
}

void TRecordSet::Impl::CheckInsertState() const {
  if (state != TDataSetState::dsInsert) throw EDatabaseError("Dataset not in edit or insert mode");
}

std::optional<Bytes>& TRecordSet::Impl::PendingValue(int column) {
  CheckInsertState();
  pending_assigned = true;
  return pending[static_cast<size_t>(column)];
}

TRecordSet::TRecordSet(CodePage& code_page) : impl_(std::make_unique<Impl>(code_page)) {}
TRecordSet::~TRecordSet() = default;

TFieldDefs& TRecordSet::FieldDefs() { return impl_->defs; }

bool TRecordSet::Active() const { return impl_->state != TDataSetState::dsInactive; }
TDataSetState TRecordSet::State() const { return impl_->state; }

void TRecordSet::CreateDataSet() {
  Impl& d = *impl_;
  if (Active()) throw EDatabaseError("Cannot perform this operation on an open dataset");
  if (d.defs.Count() == 0) throw EDatabaseError("No fields defined.  Cannot create dataset");
  std::vector<TableFieldDesc> columns;
  for (const auto& def : d.defs) {
    auto column = TableFieldOf(def);
    if (!column) throw EDatabaseError("Field '" + def.Name + "' is of an unknown type");
    columns.push_back(std::move(*column));
  }
  auto table = std::make_unique<Table>(std::move(columns));
  d.packet.clear();
  d.table = std::move(table);
  d.fields.clear();
  d.by_name.clear();
  int column = 0;
  for (const auto& def : d.defs) {
    d.fields.emplace_back(new TField(*this, column++, def.Name, def.DataType, def.Size, def.Attributes));
    d.by_name.emplace(FoldName(def.Name), d.fields.size() - 1);
  }
  d.state = TDataSetState::dsBrowse;
  d.visible_rows = 0;
  d.current = Impl::kNoRow;
  d.rec_no = 0;
  d.eof = true;
}

void TRecordSet::SetActive(bool active) {
  Impl& d = *impl_;
  if (!active) {
    Close();
    return;
  }
  if (Active()) return;
  if (d.packet.empty()) throw EDatabaseError("Missing data provider or data packet");
  try {
    d.table = Table::Load(d.packet);
  } catch (...) {
    d.packet = Bytes();
    throw;
  }
  // Fields and their definitions follow the packet's columns.
  d.defs.Clear();
  d.fields.clear();
  d.fields.reserve(d.table->ColumnCount());
  d.by_name.clear();
  // A repeated name gets the first free suffix; names are only ever added, so
  // the search for a base goes on from where it last stopped.
  std::unordered_map<std::string, int> last_suffix;
  for (size_t j = 0; j < d.table->ColumnCount(); ++j) {
    auto def = FieldDefOf(d.table->Field(j));
    if (!def) continue;
    if (def->Name.size() == kMaxFieldNameBytes) {
      if (auto full = d.table->FieldNameParam(j); full && !full->empty()) def->Name = *full;
    }
    if (d.by_name.count(FoldName(def->Name))) {
      const std::string base = def->Name;
      int& n = last_suffix[FoldName(base)];
      do {
        def->Name = base + "_" + std::to_string(++n);
      } while (d.by_name.count(FoldName(def->Name)));
    }
    d.fields.emplace_back(new TField(*this, static_cast<int>(j), def->Name, def->DataType, def->Size,
                                     def->Attributes));
    d.by_name.emplace(FoldName(def->Name), d.fields.size() - 1);
    d.defs.Add(std::move(*def));
  }
  d.visible_rows = 0;
  for (size_t r = 0; r < d.table->StoredRows(); ++r) d.visible_rows += d.table->IsVisible(r);
  d.state = TDataSetState::dsBrowse;
  First();
}

void TRecordSet::Close() {
  Impl& d = *impl_;
  d.state = TDataSetState::dsInactive;
  d.table.reset();
  d.pending.clear();
  d.pending_assigned = false;
  d.current = Impl::kNoRow;
  d.rec_no = 0;
  d.visible_rows = 0;
  d.eof = true;
}

void TRecordSet::Insert() {
  Impl& d = *impl_;
  d.CheckActive();
  CheckBrowseMode();
  d.pending.assign(d.table->ColumnCount(), std::nullopt);
  d.pending_assigned = false;
  d.state = TDataSetState::dsInsert;
}

void TRecordSet::Post() {
  Impl& d = *impl_;
  d.CheckActive();
  if (d.state != TDataSetState::dsInsert) return;
  for (const auto& f : d.fields) {
    if (f->Required() && !(f->Attributes() & faReadonly) && !d.pending[static_cast<size_t>(f->column_)]) {
      throw EDatabaseError("Field '" + f->FieldName() + "' must have a value");
    }
  }
  d.table->AppendRow(d.pending);
  Cancel();  // the row is stored; leave the insert state
  d.current = d.table->StoredRows() - 1;
  d.rec_no = ++d.visible_rows;
  d.eof = false;
}

void TRecordSet::Cancel() {
  Impl& d = *impl_;
  if (d.state != TDataSetState::dsInsert) return;
  d.pending.clear();
  d.pending_assigned = false;
  d.state = TDataSetState::dsBrowse;
}

void TRecordSet::CheckBrowseMode() {
  Impl& d = *impl_;
  d.CheckActive();
  if (d.state != TDataSetState::dsInsert) return;
  if (d.pending_assigned) {
    Post();
  } else {
    Cancel();
  }
}

TField* TRecordSet::FindField(std::string_view name) {
  const auto it = impl_->by_name.find(FoldName(name));
  return it == impl_->by_name.end() ? nullptr : impl_->fields[it->second].get();
}

TField& TRecordSet::FieldByName(std::string_view name) {
  if (TField* f = FindField(name)) return *f;
  throw EDatabaseError("Field '" + std::string(name) + "' not found");
}

int TRecordSet::FieldCount() const { return static_cast<int>(impl_->fields.size()); }
TField& TRecordSet::Fields(int index) { return *impl_->fields.at(static_cast<size_t>(index)); }

OleVariant TRecordSet::GetData() {
  Impl& d = *impl_;
  if (!Active()) return d.packet.empty() ? OleVariant::Null() : OleVariant::FromBytes(d.packet);
  CheckBrowseMode();
  return OleVariant::FromBytes(d.table->StreamDS());
}

void TRecordSet::SetData(OleVariant&& packet) {
  Impl& d = *impl_;
  Close();
  d.packet = Bytes();
  if (packet.IsNull()) return;
  if (!packet.IsByteArray() || packet.bytes().size() < 22) throw EDatabaseError("Invalid data packet");
  d.packet = std::move(packet).TakeBytes();
  SetActive(true);
}

void TRecordSet::SetData(const OleVariant& packet) {
  if (packet.IsByteArray()) {
    SetData(OleVariant::FromBytes(packet.bytes()));
  } else {
    OleVariant copy = packet;
    SetData(std::move(copy));
  }
}

int64_t TRecordSet::RecordCount() const {
  impl_->CheckActive();
  return impl_->visible_rows;
}

void TRecordSet::First() {
  Impl& d = *impl_;
  CheckBrowseMode();
  d.current = Impl::kNoRow;
  d.rec_no = 0;
  d.eof = true;
  for (size_t r = 0; r < d.table->StoredRows(); ++r) {
    if (d.table->IsVisible(r)) {
      d.current = r;
      d.rec_no = 1;
      d.eof = false;
      break;
    }
  }
}

void TRecordSet::Next() {
  Impl& d = *impl_;
  CheckBrowseMode();
  if (d.current == Impl::kNoRow) return;
  for (size_t r = d.current + 1; r < d.table->StoredRows(); ++r) {
    if (d.table->IsVisible(r)) {
      d.current = r;
      ++d.rec_no;
      return;
    }
  }
  d.eof = true;
}

bool TRecordSet::Eof() const { return impl_->eof; }
int64_t TRecordSet::RecNo() const { return impl_->rec_no; }

}  // namespace selvane
