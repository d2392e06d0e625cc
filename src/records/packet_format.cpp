#include "records/packet_format.h"

#include <array>
#include <utility>

namespace selvane::packet {

namespace {

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (Lower(a[i]) != Lower(b[i])) return false;
  }
  return true;
}

// Index + 1 is the parameter's number.
constexpr std::array<std::string_view, 34> kParamNames = {
    "UNIQUE_KEY",    "DEFAULT_ORDER", "CHANGE_LOG",    "SERVER_COL",      "CONSTRAINTS",
    "DATASET_CONTEXT", "DATASET_DELTA", "READONLY",    "SUBTYPE",         "DECIMALS",
    "WIDTH",         "LCID",          "BDEDOMAIN_X",   "BDERECORD_X",     "BDEDEFAULT_X",
    "AUTOINCVALUE",  "ELEMENTS",      "TABLENAME",     "MD_FIELDLINKS",   "TYPENAME",
    "UPDATEMODE",    "MD_SEMANTICS",  "CALCULATED",    "BDEDOMAIN_CL",    "BDERECORD_CL",
    "BDEDEFAULT_CL", "DELTA",         "PRIMARY_KEY",   "MINVALUE",        "MAXVALUE",
    "DISABLE_DELETES", "DISABLE_INSERTS", "DISABLE_EDITS", "FIELDNAME",
};

constexpr std::array<std::pair<std::string_view, uint16_t>, 19> kSubTypes = {{
    {"Text", 22}, {"Binary", 23}, {"Formatted", 24}, {"Ole", 25}, {"Graphics", 26},
    {"dBASEOle", 27}, {"TypedBinary", 28}, {"Money", 21}, {"Autoinc", 29}, {"AccessOle", 30},
    {"HMemo", 33}, {"HBinary", 34}, {"ADTNestedTable", 35}, {"FixedChar", 31},
    {"Reference", 70}, {"BFile", 36}, {"ADTDate", 37}, {"Guid", 38}, {"WideText", 32},
}};

// Bytes of one fixed value of the packet type; nullopt when the size bits do not fit it.
std::optional<uint32_t> FixedWidth(uint32_t type, uint32_t size) {
  switch (type) {
    case dsfldBCD:
    case dsfldFMTBCD: return 18;
    case dsfldSINGLE: return 8;
    case dsfldTIMESTAMP: return size == 8 ? std::optional<uint32_t>(8) : std::nullopt;
    case dsfldDATETIME: return size == 16 ? std::optional<uint32_t>(16) : std::nullopt;
    case dsfldDATETIMEOFFSET: return size == 20 ? std::optional<uint32_t>(20) : std::nullopt;
    case dsfldADT:
    case dsfldARRAY:
    case dsfldEMBEDDEDTBL:
    case dsfldREF: return std::nullopt;  // object kinds are not exchanged
    default: return size;
  }
}

// Only the text and byte types, and codes of no known type, carry a length prefix.
bool MayVary(uint32_t type) {
  switch (type) {
    case dsfldINT: case dsfldUINT: case dsfldBOOL: case dsfldFLOATIEEE: case dsfldBCD:
    case dsfldDATE: case dsfldTIME: case dsfldTIMESTAMP: case dsfldADT: case dsfldARRAY:
    case dsfldEMBEDDEDTBL: case dsfldREF: case dsfldDATETIME: case dsfldFMTBCD:
    case dsfldSINGLE: case dsfldDATETIMEOFFSET: return false;
    default: return true;
  }
}

}  // namespace

std::optional<ValueLayout> LayoutOf(uint32_t code) {
  const uint32_t type = PacketTypeOf(code);
  const uint32_t size = SizeBitsOf(code);
  if (code & kVarying) {
    if ((code & kArray) || !MayVary(type)) return std::nullopt;
    if (size != 1 && size != 2 && size != 4) return std::nullopt;
    return ValueLayout{ValueLayout::kPrefixed, size};
  }
  auto width = FixedWidth(type, size);
  if (!width) return std::nullopt;
  if (code & kArray) return ValueLayout{ValueLayout::kCounted, *width};
  return ValueLayout{ValueLayout::kFixed, *width};
}

uint8_t ParamIdOf(std::span<const uint8_t> name) {
  std::string_view text(reinterpret_cast<const char*>(name.data()), name.size());
  for (size_t i = 0; i < kParamNames.size(); ++i) {
    if (EqualsNoCase(text, kParamNames[i])) return static_cast<uint8_t>(i + 1);
  }
  return kUserParam;
}

uint16_t SubTypeOfName(std::string_view name) {
  for (const auto& [text, number] : kSubTypes) {
    if (EqualsNoCase(name, text)) return number;
  }
  return kUnknownSubType;
}

std::string_view SubTypeName(uint16_t sub_type) {
  for (const auto& [text, number] : kSubTypes) {
    if (number == sub_type) return text;
  }
  return {};
}

}  // namespace selvane::packet
