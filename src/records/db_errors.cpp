#include "records/db_errors.h"

namespace selvane {

namespace {
const char* DBClientText(uint16_t error_code) {
  switch (error_code) {
    case dberr::kNoMemory: return "Insufficient memory for this operation.";
    case dberr::kInvalidParameter: return "Invalid parameter.";
    case dberr::kInvalidFieldType: return "Invalid field type.";
    case dberr::kNullFieldName: return "Field name can't be null, datapacket may be corrupted";
    case dberr::kNotApplicable: return "Operation not applicable.";
    case dberr::kNoMetaData: return "Datapacket contains no meta data.";
    default: return "Mismatch in datapacket.";
  }
}
}  // namespace

void ThrowDBClient(uint16_t error_code) { throw EDBClient(error_code, DBClientText(error_code)); }

}  // namespace selvane
