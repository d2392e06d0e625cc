#pragma once
// Reads a binary data packet from untrusted bytes. Everything it returns points
// into the packet, which must outlive the result; nothing is copied. Failures
// throw EDBClient: a packet that ends early or whose counts and lengths do not
// fit what remains is "Mismatch in datapacket.".

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "records/row_codec.h"

namespace selvane {

struct PacketParam {
  std::span<const uint8_t> name;
  uint32_t type = 0;
  std::span<const uint8_t> value;  // encoded as in the packet (prefix or count included)
};

struct PacketColumn {
  std::span<const uint8_t> name;  // 1 to 255 bytes as in the packet
  uint32_t type = 0;
  uint16_t attributes = 0;
  std::vector<PacketParam> params;
};

struct PacketMetadata {
  uint16_t version = 0;
  uint16_t minor_version = 0;
  uint32_t flags = 0;
  uint32_t row_count = 0;
  std::vector<PacketColumn> columns;
  std::vector<PacketParam> table_params;
  size_t rows_begin = 0;  // offset of the first row
};

// Header, column descriptors with their parameters and the table parameters.
PacketMetadata ReadPacketMetadata(std::span<const uint8_t> packet);

struct PacketRows {
  std::vector<size_t> offsets;  // where each row starts
  size_t end = 0;               // where the last row ends
};

// Walks row_count rows from rows_begin, checking each against the column shapes.
PacketRows ReadPacketRows(std::span<const uint8_t> packet, size_t rows_begin, uint32_t row_count,
                          std::span<const ColumnShape> columns);

// The value of a parameter, checked against its type code.
EncodedValue ParamValue(const PacketParam& param);

}  // namespace selvane
