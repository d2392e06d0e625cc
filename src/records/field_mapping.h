#pragma once
// Field definitions <-> table field descriptors.

#include <optional>

#include "records/field_defs.h"
#include "records/table_types.h"

namespace selvane {

// CreateDataSet: the table field of a definition; nullopt for a type a table
// cannot hold (object, reference and interface kinds).
std::optional<TableFieldDesc> TableFieldOf(const TFieldDef& def);

// SetData: the definition of a table field; nullopt when it gets no field (a
// link column or a type of no field class). The name is the table's.
std::optional<TFieldDef> FieldDefOf(const TableFieldDesc& field);

}  // namespace selvane
