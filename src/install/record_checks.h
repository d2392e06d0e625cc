#pragma once
// Values of the server's records, checked before anything is written: a
// record that names no file time is refused as a whole.

#include <stdexcept>
#include <string>
#include <string_view>

namespace selvane {

class TField;

// A value from the server that cannot be used.
class EInvalidServerValue : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The FileDate of a record about `server_name`: a date-time that names a real
// moment. A null or non-finite value, or one beyond the calendar, throws
// EInvalidServerValue. A real date that a file cannot carry (before 1980) is
// valid: stamping it simply does not happen.
double CheckedFileDate(const TField& file_date, std::string_view server_name);

}  // namespace selvane
