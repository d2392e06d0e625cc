#pragma once
// The definitions from which CreateDataSet lays out a record set's fields, and
// which SetData rebuilds from a packet's columns.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "records/field_types.h"

namespace selvane {

struct TFieldDef {
  std::string Name;  // UTF-8
  TFieldType DataType = ftUnknown;
  // ftString: maximum length in bytes; ftBCD/ftFMTBcd: decimals; 0 where the type has no size.
  int Size = 0;
  int Precision = 0;  // ftBCD/ftFMTBcd only
  TFieldAttributes Attributes = 0;

  bool Required() const { return (Attributes & faRequired) != 0; }
};

class TFieldDefs {
 public:
  void Clear() { defs_.clear(); }
  // Appends a definition; an empty name throws EDatabaseError "Field name missing".
  void Add(std::string_view name, TFieldType data_type, int size = 0, bool required = false);
  void Add(TFieldDef def);

  int Count() const { return static_cast<int>(defs_.size()); }
  const TFieldDef& operator[](int index) const { return defs_.at(static_cast<size_t>(index)); }
  auto begin() const { return defs_.begin(); }
  auto end() const { return defs_.end(); }

 private:
  std::vector<TFieldDef> defs_;
};

}  // namespace selvane
