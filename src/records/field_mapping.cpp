#include "records/field_mapping.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace selvane {

namespace {

struct TypeRow {
  TFieldType field_type;
  TableFieldType table_type;
  uint16_t sub_type;
};

// Field classes and their table types, one row per field class.
constexpr TypeRow kTypes[] = {
    {ftString, fldZSTRING, 0},          {ftFixedChar, fldZSTRING, fldstFIXED},
    {ftGuid, fldZSTRING, fldstGUID},    {ftWideString, fldUNICODE, 0},
    {ftFixedWideChar, fldUNICODE, fldstFIXED},
    {ftSmallint, fldINT16, 0},          {ftInteger, fldINT32, 0},
    {ftAutoInc, fldINT32, fldstAUTOINC}, {ftWord, fldUINT16, 0},
    {ftLongWord, fldUINT32, 0},         {ftLargeint, fldINT64, 0},
    {ftShortint, fldINT8, 0},           {ftByte, fldUINT8, 0},
    {ftBoolean, fldBOOL, 0},            {ftFloat, fldFLOAT, 0},
    {ftCurrency, fldFLOAT, fldstMONEY}, {ftExtended, fldFLOATIEEE, 0},
    {ftSingle, fldSINGLE, 0},           {ftBCD, fldBCD, 0},
    {ftFMTBcd, fldFMTBCD, 0},           {ftDate, fldDATE, 0},
    {ftTime, fldTIME, 0},               {ftDateTime, fldTIMESTAMP, 0},
    {ftTimeStamp, fldDATETIME, 0},      {ftOraTimeStamp, fldDATETIME, fldstORATIMESTAMP},
    {ftTimeStampOffset, fldDATETIMEOFFSET, 0},
    {ftBytes, fldBYTES, 0},             {ftVarBytes, fldVARBYTES, 0},
    {ftMemo, fldBLOB, 22},              {ftBlob, fldBLOB, 23},
    {ftFmtMemo, fldBLOB, 24},           {ftParadoxOle, fldBLOB, 25},
    {ftGraphic, fldBLOB, 26},           {ftDBaseOle, fldBLOB, 27},
    {ftTypedBinary, fldBLOB, 28},       {ftWideMemo, fldBLOB, 32},
    {ftOraClob, fldBLOB, 33},           {ftOraBlob, fldBLOB, 34},
};

TFieldType BlobClass(uint16_t sub_type) {
  for (const auto& row : kTypes) {
    if (row.table_type == fldBLOB && row.sub_type == sub_type) return row.field_type;
  }
  return ftBlob;
}

}  // namespace

std::optional<TableFieldDesc> TableFieldOf(const TFieldDef& def) {
  for (const auto& row : kTypes) {
    if (row.field_type != def.DataType) continue;
    TableFieldDesc f;
    f.szName = def.Name;
    f.iFldType = row.table_type;
    f.iSubType = row.sub_type;
    f.iFldAttr = def.Attributes;
    const uint32_t size = def.Size > 0 ? static_cast<uint32_t>(def.Size) : 0;
    switch (row.table_type) {
      case fldZSTRING: case fldBYTES: case fldVARBYTES: case fldBLOB: f.iUnits1 = size; break;
      case fldUNICODE: f.iUnits1 = size > 0x7FFFFFFF ? 0xFFFFFFFE : size * 2; break;
      case fldBCD: case fldFMTBCD:
        f.iUnits1 = def.Precision > 0 ? static_cast<uint32_t>(def.Precision) : 0;
        f.iUnits2 = def.Size;
        break;
      default: break;
    }
    if (def.DataType == ftWideMemo) f.iUnits1 = size > 0x7FFFFFFF ? 0xFFFFFFFE : size * 2;
    if (def.DataType == ftGuid && size == 0) f.iUnits1 = 38;  // the text form of a GUID
    return f;
  }
  return std::nullopt;
}

std::optional<TFieldDef> FieldDefOf(const TableFieldDesc& f) {
  if (f.iFldAttr & fldAttrLINK) return std::nullopt;
  TFieldDef def;
  def.Name = f.szName;
  def.Attributes = static_cast<TFieldAttributes>(f.iFldAttr & 0xFF);
  if (f.iSubType == fldstFIXED) def.Attributes |= faFixed;
  const int units = f.iUnits1 > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(f.iUnits1);
  const bool guid = f.iSubType == fldstGUID;
  switch (f.iFldType) {
    case fldZSTRING: def.DataType = guid ? ftGuid : ftString; def.Size = units; break;
    case fldUNICODE: def.DataType = ftWideString; def.Size = units / 2; break;
    case fldBLOB:
      def.DataType = BlobClass(f.iSubType);
      def.Size = f.iSubType == fldstWIDEMEMO ? units / 2 : units;
      break;
    case fldBYTES: def.DataType = guid ? ftGuid : ftBytes; def.Size = units; break;
    case fldVARBYTES: def.DataType = guid ? ftGuid : ftVarBytes; def.Size = units; break;
    case fldBCD: case fldFMTBCD:
      def.DataType = f.iFldType == fldBCD ? ftBCD : ftFMTBcd;
      def.Precision = units;
      def.Size = static_cast<int>(std::min<int64_t>(std::abs(int64_t{f.iUnits2}), 0x7FFFFFFF));
      break;
    case fldDATE: def.DataType = ftDate; break;
    case fldBOOL: def.DataType = ftBoolean; break;
    case fldINT16: def.DataType = ftSmallint; break;
    case fldINT32: def.DataType = f.iSubType == fldstAUTOINC ? ftAutoInc : ftInteger; break;
    case fldFLOAT: def.DataType = f.iSubType == fldstMONEY ? ftCurrency : ftFloat; break;
    case fldTIME: def.DataType = ftTime; break;
    case fldTIMESTAMP: def.DataType = ftDateTime; break;
    case fldUINT16: def.DataType = ftWord; break;
    case fldUINT32: def.DataType = ftLongWord; break;
    case fldFLOATIEEE: def.DataType = ftExtended; break;
    case fldINT64: case fldUINT64: def.DataType = ftLargeint; break;
    case fldDATETIME:
      def.DataType = f.iSubType == fldstORATIMESTAMP ? ftOraTimeStamp : ftTimeStamp;
      break;
    case fldSINGLE: def.DataType = ftSingle; break;
    case fldINT8: def.DataType = ftShortint; break;
    case fldUINT8: def.DataType = ftByte; break;
    case fldDATETIMEOFFSET: def.DataType = ftTimeStampOffset; break;
    default: return std::nullopt;
  }
  return def;
}

}  // namespace selvane
