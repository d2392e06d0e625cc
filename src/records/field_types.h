#pragma once
// The field types, attributes and states of a record set, with the values the
// rest of the program and the server's packets use.

#include <cstdint>

namespace selvane {

// Days since 1899-12-30 in the whole part, time of day in the fraction.
using TDateTime = double;

enum TFieldType : uint8_t {
  ftUnknown, ftString, ftSmallint, ftInteger, ftWord, ftBoolean, ftFloat, ftCurrency,
  ftBCD, ftDate, ftTime, ftDateTime, ftBytes, ftVarBytes, ftAutoInc, ftBlob, ftMemo,
  ftGraphic, ftFmtMemo, ftParadoxOle, ftDBaseOle, ftTypedBinary, ftCursor, ftFixedChar,
  ftWideString, ftLargeint, ftADT, ftArray, ftReference, ftDataSet, ftOraBlob, ftOraClob,
  ftVariant, ftInterface, ftIDispatch, ftGuid, ftTimeStamp, ftFMTBcd, ftFixedWideChar,
  ftWideMemo, ftOraTimeStamp, ftOraInterval, ftLongWord, ftShortint, ftByte, ftExtended,
  ftConnection, ftParams, ftStream, ftTimeStampOffset, ftObject, ftSingle
};

// One byte of attribute bits per field; the low byte of a packet column's attributes.
using TFieldAttributes = uint8_t;
inline constexpr TFieldAttributes faHiddenCol = 1;
inline constexpr TFieldAttributes faReadonly = 2;
inline constexpr TFieldAttributes faRequired = 4;
inline constexpr TFieldAttributes faLink = 8;
inline constexpr TFieldAttributes faUnNamed = 16;
inline constexpr TFieldAttributes faFixed = 32;

enum class TDataSetState : uint8_t { dsInactive, dsBrowse, dsInsert };

}  // namespace selvane
