#pragma once
// The table engine's field types and field descriptors, and how they map to
// packet type codes in both directions.

#include <cstdint>
#include <optional>
#include <string>

namespace selvane {

enum TableFieldType : uint16_t {
  fldUNKNOWN = 0,  // a column of no known type: kept as opaque bytes, no field
  fldZSTRING = 1, fldDATE = 2, fldBLOB = 3, fldBOOL = 4, fldINT16 = 5, fldINT32 = 6,
  fldFLOAT = 7, fldBCD = 8, fldBYTES = 9, fldTIME = 10, fldTIMESTAMP = 11, fldUINT16 = 12,
  fldUINT32 = 13, fldFLOATIEEE = 14, fldVARBYTES = 15, fldINT64 = 18, fldUINT64 = 19,
  fldADT = 20, fldARRAY = 21, fldREF = 22, fldTABLE = 23, fldDATETIME = 24, fldFMTBCD = 25,
  fldSINGLE = 27, fldINT8 = 28, fldUINT8 = 29, fldDATETIMEOFFSET = 36, fldUNICODE = 4103,
};

// Sub-types with a meaning of their own.
inline constexpr uint16_t fldstMONEY = 21;
inline constexpr uint16_t fldstMEMO = 22;
inline constexpr uint16_t fldstBINARY = 23;
inline constexpr uint16_t fldstAUTOINC = 29;
inline constexpr uint16_t fldstFIXED = 31;
inline constexpr uint16_t fldstWIDEMEMO = 32;
inline constexpr uint16_t fldstGUID = 38;
inline constexpr uint16_t fldstORATIMESTAMP = 39;
inline constexpr uint16_t fldstREFERENCE = 70;

// Column attribute bits.
inline constexpr uint16_t fldAttrHIDDEN = 1;
inline constexpr uint16_t fldAttrREADONLY = 2;
inline constexpr uint16_t fldAttrREQUIRED = 4;
inline constexpr uint16_t fldAttrLINK = 8;

struct TableFieldDesc {
  std::string szName;  // UTF-8, at most 31 bytes
  uint16_t iFldType = fldUNKNOWN;
  uint16_t iSubType = 0;
  uint32_t iUnits1 = 0;  // width, precision or element count
  int32_t iUnits2 = 0;   // decimals
  uint16_t iFldAttr = 0;
  bool bCalculated = false;
};

inline constexpr size_t kMaxFieldNameBytes = 31;

// The table's length of a field: fldZSTRING width + 1, fldVARBYTES and
// fldUNICODE width + 2, fldBLOB 4, fixed types their value size.
uint64_t TableFieldLength(const TableFieldDesc& field);

// The packet type code the writer gives a field; throws "Operation not
// applicable." for a field it cannot describe.
uint32_t PacketTypeCodeOf(const TableFieldDesc& field);

// The table type a packet column code gives: nullopt when no value rule
// accepts it ("Invalid field type."), fldUNKNOWN for a code of no known type.
// A varying fldBYTES column is fldVARBYTES here; sub-types may make it a blob.
std::optional<TableFieldType> TableTypeOfCode(uint32_t code);

// Whether the writer describes the field's units as WIDTH.
bool HasWidthParam(uint16_t table_type);

}  // namespace selvane
