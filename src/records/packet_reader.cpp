#include "records/packet_reader.h"

#include <algorithm>

#include "records/db_errors.h"

namespace selvane {

namespace {

// Parameters carry values of any type code that has a layout; a code without
// one cannot be stepped over.
PacketParam ReadParam(ByteReader& in) {
  PacketParam p;
  p.name = in.Take(in.U8());
  p.type = in.U32();
  const auto layout = packet::LayoutOf(p.type);
  if (!layout) ThrowDBClient(dberr::kInvalidFieldType);
  const size_t start = in.pos();
  ByteReader value = in;
  ReadValue(in, *layout);
  p.value = value.Take(in.pos() - start);
  return p;
}

// A count read from the packet only reserves what the remaining bytes can hold.
size_t Plausible(size_t count, size_t remaining, size_t min_item_bytes) {
  return std::min(count, remaining / min_item_bytes);
}

std::vector<PacketParam> ReadParams(ByteReader& in) {
  const uint16_t count = in.U16();
  std::vector<PacketParam> params;
  params.reserve(Plausible(count, in.remaining(), 5));
  for (uint16_t i = 0; i < count; ++i) params.push_back(ReadParam(in));
  return params;
}

}  // namespace

PacketMetadata ReadPacketMetadata(std::span<const uint8_t> packet) {
  ByteReader in(packet);
  PacketMetadata m;
  const uint32_t magic = in.U32();
  m.version = in.U16();
  m.minor_version = in.U16();
  if (magic == packet::kMagic) {
    if (m.version > packet::kMaxVersion || m.minor_version > packet::kMaxVersion) {
      ThrowDBClient(dberr::kMismatch);
    }
  } else if (magic != packet::kLegacyMagic) {
    ThrowDBClient(dberr::kMismatch);  // not a binary packet
  }
  const uint32_t header_size = in.U32();
  const uint16_t column_count = in.U16();
  m.row_count = in.U32();
  m.flags = in.U32();
  in.U16();  // row offset: the walk below finds the rows itself
  if (!(m.flags & packet::kFlagMetaData)) ThrowDBClient(dberr::kNoMetaData);
  if (header_size < packet::kHeaderSize) ThrowDBClient(dberr::kMismatch);
  in = ByteReader(packet, header_size);
  if (column_count == 0) ThrowDBClient(dberr::kMismatch);

  m.columns.reserve(Plausible(column_count, in.remaining(), 10));
  for (uint16_t i = 0; i < column_count; ++i) {
    PacketColumn c;
    const uint8_t name_length = in.U8();
    if (name_length == 0) ThrowDBClient(dberr::kNullFieldName);
    c.name = in.Take(name_length);
    c.type = in.U32();
    c.attributes = in.U16();
    c.params = ReadParams(in);
    m.columns.push_back(std::move(c));
  }
  m.table_params = ReadParams(in);
  m.rows_begin = in.pos();
  return m;
}

PacketRows ReadPacketRows(std::span<const uint8_t> packet, size_t rows_begin, uint32_t row_count,
                          std::span<const ColumnShape> columns) {
  ByteReader in(packet, rows_begin);
  PacketRows rows;
  rows.offsets.reserve(Plausible(row_count, in.remaining(), 1 + packet::StatusBytes(columns.size())));
  for (uint32_t i = 0; i < row_count; ++i) {
    rows.offsets.push_back(in.pos());
    SkipRow(in, columns);
  }
  rows.end = in.pos();
  return rows;
}

EncodedValue ParamValue(const PacketParam& param) {
  ByteReader in(param.value);
  return ReadValue(in, *packet::LayoutOf(param.type));
}

}  // namespace selvane
