#pragma once
// Writes a binary data packet in one pass into one growing buffer that is
// handed over, not copied, when it is done. Calls come in this order:
//
//   InitSequential, then per column AddColumnDesc and its AddAttribute(kField)
//   calls, then AddAttribute(kTable) calls, EndAttributes, then per row
//   BeginRow and one PutField per column, and finally GetDataPacket.
//
// Misuse throws EDBClient "Operation not applicable.".

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "base/ole_variant.h"
#include "records/row_codec.h"

namespace selvane {

class PacketWriter {
 public:
  enum class Area { kField = 0, kTable = 1 };

  // version is what the caller speaks (3 or less, else "Mismatch in datapacket.").
  void InitSequential(uint32_t version, uint16_t column_count);
  // name: UTF-8, cut to 31 bytes.
  void AddColumnDesc(std::string_view name, uint32_t type_code, uint16_t attributes);
  // value: encoded as its type code says (length prefix or element count included).
  void AddAttribute(Area area, std::string_view name, uint32_t type_code,
                    std::span<const uint8_t> value);
  void EndAttributes();
  void BeginRow(uint8_t row_state);
  // value: the content without length prefix; ignored unless status is kValue.
  void PutField(FieldStatus status, std::span<const uint8_t> value = {});
  // A blob whose content is not in the packet (a negative 4-byte length).
  void PutAbsentField(int32_t absent_length);
  Bytes GetDataPacket();

 private:
  enum class Stage { kNone, kColumns, kTableParams, kRows, kDone };
  void Reserve(size_t more);
  void Append(std::span<const uint8_t> bytes);
  void AppendU16(uint16_t v);
  void AppendU32(uint32_t v);
  void PatchU16(size_t at, uint16_t v);
  void PatchU32(size_t at, uint32_t v);
  void StartTableParams();
  void NextColumnValue();
  void SetRowOffset();

  Bytes buf_;
  Stage stage_ = Stage::kNone;
  bool grow_to_32k_ = true;  // growth steps alternate between two sizes
  uint16_t column_count_ = 0;
  std::vector<packet::ValueLayout> layouts_;
  size_t column_params_at_ = 0;  // count field of the most recent column
  uint16_t column_params_ = 0;
  size_t table_params_at_ = 0;
  uint16_t table_params_ = 0;
  uint32_t row_count_ = 0;
  size_t row_status_at_ = 0;
  size_t next_column_ = 0;
  bool row_offset_set_ = false;
  bool row_open_ = false;
};

}  // namespace selvane
