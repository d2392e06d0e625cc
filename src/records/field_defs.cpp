#include "records/field_defs.h"

#include "records/db_errors.h"

namespace selvane {

void TFieldDefs::Add(std::string_view name, TFieldType data_type, int size, bool required) {
  TFieldDef def;
  def.Name.assign(name);
  def.DataType = data_type;
  def.Size = size;
  def.Attributes = required ? faRequired : 0;
  Add(std::move(def));
}

void TFieldDefs::Add(TFieldDef def) {
  if (def.Name.empty()) throw EDatabaseError("Field name missing");
  defs_.push_back(std::move(def));
}

}  // namespace selvane
