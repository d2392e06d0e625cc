#include "records/table.h"

#include <algorithm>
#include <cstring>

#include "base/byte_order.h"
#include "records/db_errors.h"
#include "records/packet_format.h"
#include "records/packet_writer.h"

namespace selvane {

using namespace packet;

namespace {

// The largest value a text or bytes column may hold, whatever its width says.
constexpr uint64_t kMinMaxValueLength = 258;

std::string_view AsText(std::span<const uint8_t> b) {
  return {reinterpret_cast<const char*>(b.data()), b.size()};
}

// Integer value of a WIDTH, DECIMALS or ELEMENTS parameter.
uint64_t IntegerParam(const PacketParam& p) {
  const auto type = PacketTypeOf(p.type);
  const auto layout = LayoutOf(p.type);
  if ((type != dsfldINT && type != dsfldUINT && type != dsfldBOOL) || layout->kind != ValueLayout::kFixed ||
      layout->width == 0 || layout->width > 8) {
    ThrowDBClient(dberr::kInvalidParameter);
  }
  return LoadLittleEndian(p.value);
}

uint32_t Units(const PacketParam& p) {
  const uint64_t v = IntegerParam(p);
  return v > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(v);
}

// Text of a string parameter up to its first zero byte.
std::span<const uint8_t> ParamText(const PacketParam& p) {
  auto text = ParamValue(p).content;
  const auto zero = std::find(text.begin(), text.end(), uint8_t{0});
  return text.first(static_cast<size_t>(zero - text.begin()));
}

// Where the writer puts a kept table parameter; CHANGE_LOG (rank 2) is rebuilt.
int WritingRank(const PacketParam& p) {
  switch (ParamIdOf(p.name)) {
    case kDefaultOrder: return 0;
    case kPrimaryKey: case kUniqueKey: return 1;
    case kAutoIncValue: return 3;
    case kMdFieldLinks: return 4;
    default: return 5;
  }
}

bool IsText(uint16_t table_type) { return table_type == fldZSTRING || table_type == fldUNICODE; }

// Text as the table stores it: at most width bytes, ended at the first zero
// (a zero code unit for UTF-16).
std::span<const uint8_t> StoredText(const TableFieldDesc& f, std::span<const uint8_t> v) {
  if (v.size() > f.iUnits1) v = v.first(f.iUnits1);
  if (f.iFldType == fldZSTRING) {
    const auto zero = std::find(v.begin(), v.end(), uint8_t{0});
    return v.first(static_cast<size_t>(zero - v.begin()));
  }
  size_t n = 0;
  while (n + 1 < v.size() && (v[n] | v[n + 1]) != 0) n += 2;
  return v.first(n);
}

std::span<const uint8_t> TrimTrailingBlanks(uint16_t table_type, std::span<const uint8_t> v) {
  if (table_type == fldZSTRING) {
    while (!v.empty() && v.back() == ' ') v = v.first(v.size() - 1);
  } else {
    while (v.size() >= 2 && v[v.size() - 2] == ' ' && v[v.size() - 1] == 0) v = v.first(v.size() - 2);
  }
  return v;
}

}  // namespace

Table::Table(std::vector<TableFieldDesc> fields) {
  for (auto& f : fields) {
    Column c;
    c.row_code = PacketTypeCodeOf(f);
    c.desc = std::move(f);
    if (c.desc.szName.size() > kMaxFieldNameBytes) c.desc.szName.resize(kMaxFieldNameBytes);
    columns_.push_back(std::move(c));
  }
  LayOut();
}

void Table::LayOut() {
  uint64_t max_length = kMinMaxValueLength;
  for (const auto& c : columns_) {
    if (c.desc.iFldType != fldUNKNOWN && c.desc.iFldType != fldBLOB) {
      max_length = std::max(max_length, TableFieldLength(c.desc));
    }
    if (c.desc.iFldType == fldINT32 && c.desc.iSubType == fldstAUTOINC) has_autoinc_field_ = true;
  }
  shapes_.clear();
  for (const auto& c : columns_) {
    ColumnShape shape{*LayoutOf(c.row_code)};
    switch (c.desc.iFldType) {
      case fldZSTRING: case fldUNICODE: case fldVARBYTES: case fldBYTES:
        shape.max_length = max_length;
        break;
      default: break;
    }
    shapes_.push_back(shape);
  }
}

std::unique_ptr<Table> Table::Load(std::span<const uint8_t> packet) {
  PacketMetadata meta = ReadPacketMetadata(packet);
  std::unique_ptr<Table> t(new Table);
  t->packet_ = packet;
  t->columns_.reserve(meta.columns.size());
  for (auto& pc : meta.columns) {
    const auto type = TableTypeOfCode(pc.type);
    if (!type) ThrowDBClient(dberr::kInvalidFieldType);
    Column c;
    c.row_code = pc.type;
    c.desc.szName.assign(AsText(pc.name.first(std::min(pc.name.size(), kMaxFieldNameBytes))));
    c.desc.iFldType = *type;
    c.desc.iFldAttr = pc.attributes;
    // Parameters the table applies are taken out; the rest are kept for writing.
    c.kept_params = std::move(pc.params);
    std::erase_if(c.kept_params, [&c](const PacketParam& p) {
      switch (ParamIdOf(p.name)) {
        case kSubType:
          if (PacketTypeOf(p.type) != dsfldZSTRING) ThrowDBClient(dberr::kInvalidParameter);
          c.desc.iSubType = SubTypeOfName(AsText(ParamText(p)));
          return true;
        case kWidth:
        case kElements: c.desc.iUnits1 = Units(p); return true;
        case kDecimals: c.desc.iUnits2 = static_cast<int32_t>(Units(p)); return true;
        case kCalculated: c.desc.bCalculated = IntegerParam(p) != 0; return true;
        default: return false;
      }
    });
    c.kept_params.shrink_to_fit();
    if (c.desc.iFldType == fldVARBYTES &&
        (c.desc.iSubType == fldstMEMO || c.desc.iSubType == fldstWIDEMEMO)) {
      c.desc.iFldType = fldBLOB;
    }
    // A fixed bytes column is as long as its size bits say, whatever WIDTH says.
    if (c.desc.iFldType == fldBYTES) c.desc.iUnits1 = SizeBitsOf(pc.type);
    if (c.desc.iFldType == fldZSTRING && c.desc.iUnits1 == 0) {
      ThrowDBClient(dberr::kInvalidParameter);
    }
    t->columns_.push_back(std::move(c));
  }
  t->ApplyTableParams(meta.table_params);
  t->LayOut();
  t->packet_rows_ = ReadPacketRows(packet, meta.rows_begin, meta.row_count, t->shapes_);
  return t;
}

void Table::ApplyTableParams(std::span<const PacketParam> params) {
  for (const auto& p : params) {
    if (ParamIdOf(p.name) != kChangeLog) {
      kept_table_params_.push_back(p);
      continue;
    }
    const auto layout = LayoutOf(p.type);
    const auto type = PacketTypeOf(p.type);
    if (layout->kind != ValueLayout::kCounted || layout->width != 4 ||
        (type != dsfldINT && type != dsfldUINT)) {
      ThrowDBClient(dberr::kInvalidParameter);
    }
    const auto numbers = ParamValue(p).content;
    if ((numbers.size() / 4) % 3 != 0) ThrowDBClient(dberr::kInvalidParameter);
    change_log_.clear();
    change_log_.reserve(numbers.size() / 4);
    for (size_t i = 0; i < numbers.size(); i += 4) {
      change_log_.push_back(static_cast<uint32_t>(LoadLittleEndian(numbers.subspan(i, 4))));
    }
  }
  std::stable_sort(kept_table_params_.begin(), kept_table_params_.end(),
                   [](const PacketParam& a, const PacketParam& b) { return WritingRank(a) < WritingRank(b); });
}

std::optional<std::string> Table::FieldNameParam(size_t column) const {
  for (const auto& p : columns_[column].kept_params) {
    if (ParamIdOf(p.name) != kFieldName) continue;
    const auto type = PacketTypeOf(p.type);
    if (type == dsfldZSTRING || type == dsfldUNICODE) {
      const auto layout = LayoutOf(p.type);
      if (layout->kind != ValueLayout::kCounted) return std::string(AsText(ParamText(p)));
    }
  }
  return std::nullopt;
}

std::span<const uint8_t> Table::RowBytes(size_t row) const {
  const auto& offsets = packet_rows_.offsets;
  if (row < offsets.size()) {
    const size_t end = row + 1 < offsets.size() ? offsets[row + 1] : packet_rows_.end;
    return packet_.subspan(offsets[row], end - offsets[row]);
  }
  return posted_[row - offsets.size()];
}

RowField Table::Value(size_t row, size_t column) const {
  if (row != cached_row_) {
    cached_fields_.clear();
    RowWalker walker(RowBytes(row), shapes_);
    for (size_t j = 0; j < shapes_.size(); ++j) cached_fields_.push_back(Stored(j, walker.Next()));
    cached_row_ = row;
  }
  return cached_fields_[column];
}

RowField Table::Stored(size_t column, RowField f) const {
  if (f.status != FieldStatus::kValue || f.value.absent()) return f;
  const auto& desc = columns_[column].desc;
  if (IsText(desc.iFldType)) {
    f.value.content = StoredText(desc, f.value.content);
  } else if (desc.iFldType == fldVARBYTES && f.value.content.size() > desc.iUnits1) {
    f.value.content = f.value.content.first(desc.iUnits1);
  } else if (desc.iFldType == fldBLOB && f.value.content.empty()) {
    f.status = FieldStatus::kNull;
  }
  return f;
}

void Table::AppendRow(std::span<const std::optional<Bytes>> values) {
  if (values.size() != columns_.size()) ThrowDBClient(dberr::kNotApplicable);
  const uint32_t record_number = static_cast<uint32_t>(StoredRows() + 1);
  Bytes row(1 + StatusBytes(columns_.size()), 0);
  row[0] = dsRecNew;
  for (size_t j = 0; j < columns_.size(); ++j) {
    if (!values[j]) {
      row[1 + j / 4] |= NullBit(j);
      continue;
    }
    std::span<const uint8_t> v = *values[j];
    const auto type = columns_[j].desc.iFldType;
    if (IsText(type)) v = TrimTrailingBlanks(type, StoredText(columns_[j].desc, v));
    const auto& layout = shapes_[j].layout;
    if (layout.kind == ValueLayout::kFixed && v.size() != layout.width) {
      // A fixed-size text or bytes column holds its value zero-padded.
      Bytes padded(v.begin(), v.begin() + std::min<size_t>(v.size(), layout.width));
      padded.resize(layout.width, 0);
      AppendValue(row, layout, padded);
    } else {
      AppendValue(row, layout, v);
    }
  }
  posted_.push_back(std::move(row));
  change_log_.insert(change_log_.end(), {record_number, 0, dsRecNew});
}

Bytes Table::StreamDS() const {
  PacketWriter w;
  w.InitSequential(3, static_cast<uint16_t>(columns_.size()));
  for (const auto& c : columns_) {
    const auto& f = c.desc;
    const bool opaque = f.iFldType == fldUNKNOWN;
    w.AddColumnDesc(f.szName, opaque ? c.row_code : PacketTypeCodeOf(f), f.iFldAttr);
    if (!opaque) {
      if (auto name = SubTypeName(f.iSubType); !name.empty()) {
        Bytes v;
        AppendLittleEndian(v, name.size() + 1, 2);
        v.insert(v.end(), name.begin(), name.end());
        v.push_back(0);
        w.AddAttribute(PacketWriter::Area::kField, "SUBTYPE", kVarying | TypeCode(dsfldZSTRING, 2), v);
      }
      auto add_u16_or_u32 = [&](std::string_view name, uint64_t value) {
        Bytes v;
        const size_t n = value > 0xFFFF ? 4 : 2;
        AppendLittleEndian(v, value, n);
        w.AddAttribute(PacketWriter::Area::kField, name, TypeCode(dsfldUINT, static_cast<uint32_t>(n)), v);
      };
      if (f.iUnits2 != 0) add_u16_or_u32("DECIMALS", static_cast<uint32_t>(f.iUnits2));
      if (f.iUnits1 != 0 && HasWidthParam(f.iFldType)) add_u16_or_u32("WIDTH", f.iUnits1);
      if (f.bCalculated && !(f.iFldAttr & fldAttrLINK)) add_u16_or_u32("CALCULATED", 1);
    }
    for (const auto& p : c.kept_params) {
      w.AddAttribute(PacketWriter::Area::kField, AsText(p.name), p.type, p.value);
    }
  }
  // Kept parameters are sorted by rank; the change log goes in at rank 2 and
  // a table with an auto-increment field always states its counter at rank 3.
  const bool kept_autoinc = std::any_of(kept_table_params_.begin(), kept_table_params_.end(),
                                        [](const PacketParam& p) { return WritingRank(p) == 3; });
  size_t next = 0;
  for (int rank = 0; rank <= 5; ++rank) {
    if (rank == 2 && !change_log_.empty()) {
      Bytes v;
      AppendLittleEndian(v, change_log_.size(), 4);
      for (uint32_t n : change_log_) AppendLittleEndian(v, n, 4);
      w.AddAttribute(PacketWriter::Area::kTable, "CHANGE_LOG", kArray | TypeCode(dsfldUINT, 4), v);
    }
    if (rank == 3 && has_autoinc_field_ && !kept_autoinc) {
      Bytes v;
      AppendLittleEndian(v, 0, 4);
      w.AddAttribute(PacketWriter::Area::kTable, "AUTOINCVALUE", TypeCode(dsfldINT, 4), v);
    }
    for (; next < kept_table_params_.size() && WritingRank(kept_table_params_[next]) == rank; ++next) {
      const auto& p = kept_table_params_[next];
      w.AddAttribute(PacketWriter::Area::kTable, AsText(p.name), p.type, p.value);
    }
  }
  w.EndAttributes();

  const bool all_rows = !change_log_.empty();
  static constexpr uint8_t kZero[1] = {0};
  for (size_t r = 0; r < StoredRows(); ++r) {
    if (!all_rows && RowState(r) == dsUnused) continue;
    RowWalker row(RowBytes(r), shapes_);
    w.BeginRow(row.row_state());
    for (size_t j = 0; j < columns_.size(); ++j) {
      const RowField f = Stored(j, row.Next());
      if (f.status != FieldStatus::kValue) {
        w.PutField(f.status);
      } else if (f.value.absent()) {
        w.PutAbsentField(f.value.absent_length);
      } else if (columns_[j].desc.iFldType == fldZSTRING && f.value.content.empty()) {
        w.PutField(FieldStatus::kValue, kZero);  // an empty text keeps one byte
      } else {
        w.PutField(FieldStatus::kValue, f.value.content);
      }
    }
  }
  return w.GetDataPacket();
}

}  // namespace selvane
