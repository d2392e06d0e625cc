#include "records/packet_writer.h"

#include <algorithm>
#include <new>

#include "base/byte_order.h"
#include "records/db_errors.h"
#include "records/packet_format.h"

namespace selvane {

namespace {

constexpr size_t kInitialBuffer = 32768;
constexpr size_t kMaxGrowthStep = 1024000;
constexpr size_t kColumnDescReserve = 141;
constexpr size_t kOffsetVersion = 4, kOffsetRowCount = 14, kOffsetFlags = 18, kOffsetRowStart = 22;

std::span<const uint8_t> AsBytes(std::string_view s) {
  return {reinterpret_cast<const uint8_t*>(s.data()), s.size()};
}

void Require(bool ok) {
  if (!ok) ThrowDBClient(dberr::kNotApplicable);
}

}  // namespace

void PacketWriter::Reserve(size_t more) {
  if (buf_.capacity() - buf_.size() >= more) return;
  const size_t step = grow_to_32k_ ? kInitialBuffer : std::min(buf_.capacity(), kMaxGrowthStep);
  grow_to_32k_ = !grow_to_32k_;
  try {
    buf_.reserve(buf_.capacity() + std::max(more, step));
  } catch (const std::bad_alloc&) {
    ThrowDBClient(dberr::kNoMemory);
  } catch (const std::length_error&) {
    ThrowDBClient(dberr::kNoMemory);
  }
}

void PacketWriter::Append(std::span<const uint8_t> bytes) {
  Reserve(bytes.size());
  buf_.insert(buf_.end(), bytes.begin(), bytes.end());
}

void PacketWriter::AppendU16(uint16_t v) {
  uint8_t b[2];
  StoreLe16(b, v);
  Append(b);
}

void PacketWriter::AppendU32(uint32_t v) {
  uint8_t b[4];
  StoreLe32(b, v);
  Append(b);
}

void PacketWriter::PatchU16(size_t at, uint16_t v) {
  StoreLe16(std::span(buf_).subspan(at), v);
}

void PacketWriter::PatchU32(size_t at, uint32_t v) {
  StoreLe32(std::span(buf_).subspan(at), v);
}

void PacketWriter::InitSequential(uint32_t version, uint16_t column_count) {
  if (version > packet::kMaxVersion) ThrowDBClient(dberr::kMismatch);
  Require(stage_ == Stage::kNone);
  Reserve(kInitialBuffer);
  AppendU32(packet::kMagic);
  AppendU16(1);  // version
  AppendU16(0);  // minor version
  AppendU32(packet::kHeaderSize);
  AppendU16(column_count);
  AppendU32(0);  // rows
  AppendU32(packet::kFlagMetaData);
  AppendU16(0);  // row offset
  column_count_ = column_count;
  stage_ = Stage::kColumns;
}

void PacketWriter::AddColumnDesc(std::string_view name, uint32_t type_code, uint16_t attributes) {
  Require(stage_ == Stage::kColumns && layouts_.size() < column_count_);
  Require(name != "RowState" && !name.empty());
  Require(packet::PacketTypeOf(type_code) <= packet::dsfldDATETIMEOFFSET);
  const auto layout = packet::LayoutOf(type_code);
  Require(layout.has_value() && layout->kind != packet::ValueLayout::kCounted);
  if (packet::PacketTypeOf(type_code) > packet::dsfldBYTES) PatchU16(kOffsetVersion, 2);
  name = name.substr(0, 31);
  Reserve(kColumnDescReserve + name.size());
  buf_.push_back(static_cast<uint8_t>(name.size()));
  Append(AsBytes(name));
  AppendU32(type_code);
  AppendU16(attributes);
  column_params_at_ = buf_.size();
  column_params_ = 0;
  AppendU16(0);
  layouts_.push_back(*layout);
}

void PacketWriter::StartTableParams() {
  Require(layouts_.size() == column_count_);
  table_params_at_ = buf_.size();
  table_params_ = 0;
  AppendU16(0);
  stage_ = Stage::kTableParams;
}

void PacketWriter::AddAttribute(Area area, std::string_view name, uint32_t type_code,
                                std::span<const uint8_t> value) {
  Require(name.size() <= 255);
  const auto layout = packet::LayoutOf(type_code);
  Require(layout.has_value());
  {
    // The value must be exactly one value of its type.
    ByteReader check(value);
    try {
      ReadValue(check, *layout);
    } catch (const EDBClient&) {
      Require(false);
    }
    Require(check.remaining() == 0);
  }
  if (area == Area::kField) {
    Require(stage_ == Stage::kColumns && !layouts_.empty() && column_params_ < 0xFFFF);
    PatchU16(column_params_at_, ++column_params_);
  } else {
    if (stage_ == Stage::kColumns) StartTableParams();
    Require(stage_ == Stage::kTableParams && table_params_ < 0xFFFF);
    PatchU16(table_params_at_, ++table_params_);
  }
  Reserve(name.size() + value.size() + 5);
  buf_.push_back(static_cast<uint8_t>(name.size()));
  Append(AsBytes(name));
  AppendU32(type_code);
  Append(value);
}

void PacketWriter::EndAttributes() {
  if (stage_ == Stage::kColumns) StartTableParams();
  Require(stage_ == Stage::kTableParams);
  stage_ = Stage::kRows;
}

void PacketWriter::SetRowOffset() {
  if (row_offset_set_) return;
  row_offset_set_ = true;
  if (buf_.size() <= 0xFFFF) {
    PatchU16(kOffsetRowStart, static_cast<uint16_t>(buf_.size()));
    PatchU32(kOffsetFlags, packet::kFlagMetaData | packet::kFlagRowOffset);
  }
}

void PacketWriter::BeginRow(uint8_t row_state) {
  Require(stage_ == Stage::kRows && !row_open_ && row_count_ < 0xFFFFFFFF);
  SetRowOffset();
  const size_t status_bytes = packet::StatusBytes(column_count_);
  Reserve(1 + status_bytes);
  buf_.push_back(row_state);
  row_status_at_ = buf_.size();
  buf_.insert(buf_.end(), status_bytes, 0);
  next_column_ = 0;
  row_open_ = true;
}

void PacketWriter::NextColumnValue() {
  if (++next_column_ == column_count_) {
    row_open_ = false;
    PatchU32(kOffsetRowCount, ++row_count_);
  }
}

void PacketWriter::PutField(FieldStatus status, std::span<const uint8_t> value) {
  Require(row_open_);
  const size_t j = next_column_;
  switch (status) {
    case FieldStatus::kValue:
      Reserve(value.size() + 4 + packet::StatusBytes(column_count_));
      AppendValue(buf_, layouts_[j], value);
      break;
    case FieldStatus::kNull: buf_[row_status_at_ + j / 4] |= packet::NullBit(j); break;
    case FieldStatus::kUnchanged: buf_[row_status_at_ + j / 4] |= packet::UnchangedBit(j); break;
  }
  NextColumnValue();
}

void PacketWriter::PutAbsentField(int32_t absent_length) {
  Require(row_open_ && absent_length < 0);
  const auto& layout = layouts_[next_column_];
  Require(layout.kind == packet::ValueLayout::kPrefixed && layout.width == 4);
  Reserve(4);
  AppendAbsentValue(buf_, absent_length);
  NextColumnValue();
}

Bytes PacketWriter::GetDataPacket() {
  Require(stage_ == Stage::kRows && !row_open_);
  SetRowOffset();
  stage_ = Stage::kDone;
  return std::move(buf_);
}

}  // namespace selvane
