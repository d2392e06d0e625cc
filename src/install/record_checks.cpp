#include "install/record_checks.h"

#include "base/dos_time.h"
#include "records/field.h"

namespace selvane {

double CheckedFileDate(const TField& file_date, std::string_view server_name) {
  if (!file_date.IsNull()) {
    try {
      const double when = file_date.AsDateTime();
      if (CivilFromDateTime(when)) return when;
    } catch (const std::exception&) {
      // A stored value that is no time stamp: refused below with the server's name.
    }
  }
  throw EInvalidServerValue("Data de arquivo inválida recebida do servidor: \"" + std::string(server_name) + "\"");
}

}  // namespace selvane
