#include "records/table_types.h"

#include "records/db_errors.h"
#include "records/packet_format.h"

namespace selvane {

using namespace packet;

namespace {

uint32_t FixedLength(uint16_t table_type) {
  switch (table_type) {
    case fldINT8: case fldUINT8: return 1;
    case fldINT16: case fldUINT16: case fldBOOL: return 2;
    case fldINT32: case fldUINT32: case fldDATE: case fldTIME: case fldSINGLE: return 4;
    case fldINT64: case fldUINT64: case fldFLOAT: case fldTIMESTAMP: return 8;
    case fldFLOATIEEE: return 10;
    case fldBCD: case fldFMTBCD: return 18;
    case fldDATETIME: return 16;
    case fldDATETIMEOFFSET: return 20;
    default: return 0;
  }
}

// Varying text and bytes use a 1-byte prefix up to a table length of 254 and a
// 2-byte one above. A text width beyond 65535 would not fit a 2-byte prefix,
// so text gets a 4-byte one rather than lengths cut to 16 bits. Bytes keep at
// most 2: a 4-byte prefix makes a bytes column a blob when it is read back.
uint32_t TextPrefixFor(uint64_t length, uint32_t width) {
  if (length <= 254) return 1;
  return width <= 0xFFFF ? 2 : 4;
}

uint32_t BytesPrefixFor(uint64_t length) { return length <= 254 ? 1 : 2; }

}  // namespace

uint64_t TableFieldLength(const TableFieldDesc& field) {
  switch (field.iFldType) {
    case fldZSTRING: return uint64_t{field.iUnits1} + 1;
    case fldVARBYTES: case fldUNICODE: return uint64_t{field.iUnits1} + 2;
    case fldBLOB: return 4;
    case fldBYTES: return field.iUnits1;
    default: return FixedLength(field.iFldType);
  }
}

uint32_t PacketTypeCodeOf(const TableFieldDesc& field) {
  const uint64_t len = TableFieldLength(field);
  auto sized = [&](uint32_t type) {
    if (len > kSizeBitsMask) ThrowDBClient(dberr::kNotApplicable);
    return TypeCode(type, static_cast<uint32_t>(len));
  };
  switch (field.iFldType) {
    case fldZSTRING: return kVarying | TypeCode(dsfldZSTRING, TextPrefixFor(len, field.iUnits1));
    case fldUNICODE: return kVarying | TypeCode(dsfldUNICODE, TextPrefixFor(len, field.iUnits1));
    case fldVARBYTES: return kVarying | TypeCode(dsfldBYTES, BytesPrefixFor(len));
    case fldBLOB: return kVarying | TypeCode(dsfldBYTES, 4);
    case fldDATE: return TypeCode(dsfldDATE, 4);
    case fldBOOL: return TypeCode(dsfldBOOL, 2);
    case fldINT8: return TypeCode(dsfldINT, 1);
    case fldINT16: return TypeCode(dsfldINT, 2);
    case fldINT32: return TypeCode(dsfldINT, 4);
    case fldINT64: return TypeCode(dsfldINT, 8);
    case fldUINT8: return TypeCode(dsfldUINT, 1);
    case fldUINT16: return TypeCode(dsfldUINT, 2);
    case fldUINT32: return TypeCode(dsfldUINT, 4);
    case fldUINT64: return TypeCode(dsfldUINT, 8);
    case fldFLOAT: return TypeCode(dsfldFLOATIEEE, 8);
    case fldFLOATIEEE: return TypeCode(dsfldFLOATIEEE, 10);
    case fldBCD: return sized(dsfldBCD);
    case fldFMTBCD: return sized(dsfldFMTBCD);
    case fldBYTES: return sized(dsfldBYTES);
    case fldTIME: return TypeCode(dsfldTIME, 4);
    case fldTIMESTAMP: return TypeCode(dsfldTIMESTAMP, 8);
    case fldDATETIME: return TypeCode(dsfldDATETIME, 16);
    case fldSINGLE: return TypeCode(dsfldSINGLE, 4);
    case fldDATETIMEOFFSET: return TypeCode(dsfldDATETIMEOFFSET, 20);
    default: ThrowDBClient(dberr::kNotApplicable);
  }
}

std::optional<TableFieldType> TableTypeOfCode(uint32_t code) {
  if (code & (kArray | kPseudo | kCompArray | kEmbedded)) return std::nullopt;
  const auto layout = LayoutOf(code);
  if (!layout) return std::nullopt;
  const uint32_t size = SizeBitsOf(code);
  const bool varying = layout->kind == ValueLayout::kPrefixed;
  auto by_size = [&](TableFieldType s1, TableFieldType s2, TableFieldType s4,
                     TableFieldType s8) -> std::optional<TableFieldType> {
    switch (size) {
      case 1: return s1;
      case 2: return s2;
      case 4: return s4;
      case 8: return s8;
      default: return std::nullopt;
    }
  };
  switch (PacketTypeOf(code)) {
    case dsfldINT: return by_size(fldINT8, fldINT16, fldINT32, fldINT64);
    case dsfldUINT: return by_size(fldUINT8, fldUINT16, fldUINT32, fldUINT64);
    case dsfldBOOL: return size == 2 ? std::optional(fldBOOL) : std::nullopt;
    case dsfldFLOATIEEE:
      if (size == 8) return fldFLOAT;
      return size == 10 ? std::optional(fldFLOATIEEE) : std::nullopt;
    case dsfldSINGLE: return size == 4 ? std::optional(fldSINGLE) : std::nullopt;
    case dsfldBCD: return fldBCD;
    case dsfldFMTBCD: return fldFMTBCD;
    case dsfldDATE: return size == 4 ? std::optional(fldDATE) : std::nullopt;
    case dsfldTIME: return size == 4 ? std::optional(fldTIME) : std::nullopt;
    case dsfldTIMESTAMP: return fldTIMESTAMP;
    case dsfldDATETIME: return fldDATETIME;
    case dsfldDATETIMEOFFSET: return fldDATETIMEOFFSET;
    case dsfldZSTRING: return fldZSTRING;
    case dsfldUNICODE: return fldUNICODE;
    case dsfldBYTES:
    case dsfldBYTES2:
      if (!varying) return fldBYTES;
      return layout->width == 4 ? fldBLOB : fldVARBYTES;
    default: return fldUNKNOWN;
  }
}

bool HasWidthParam(uint16_t table_type) {
  switch (table_type) {
    case fldZSTRING: case fldVARBYTES: case fldUNICODE: case fldBLOB: case fldFMTBCD:
    case fldBCD: return true;
    default: return false;
  }
}

}  // namespace selvane
