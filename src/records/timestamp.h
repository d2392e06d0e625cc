#pragma once
// TDateTime <-> time-stamp milliseconds, the stored form of a date-time field:
// day number (0001-01-01 is day 1) x 86400000 + milliseconds since midnight.

#include <cstdint>

#include "records/field_types.h"

namespace selvane {

inline constexpr int64_t kMsPerDay = 86400000;
inline constexpr int64_t kDelphiEpochDay = 693594;  // 1899-12-30

// Throws EConvertError "'%d.%d' is not a valid timestamp" for a date before 0001-01-01.
double DateTimeToTimeStampMs(TDateTime value);
// Throws EConvertError for 0 and for anything before 0001-01-01.
TDateTime TimeStampMsToDateTime(double ms);

// A date field's day number and a time field's milliseconds.
TDateTime DayNumberToDateTime(int32_t day);
int32_t DateTimeToDayNumber(TDateTime value);
TDateTime TimeMsToDateTime(int32_t ms);
int32_t DateTimeToTimeMs(TDateTime value);

}  // namespace selvane
