#include "records/timestamp.h"

#include <cmath>
#include <string>

#include "records/db_errors.h"

namespace selvane {

namespace {

[[noreturn]] void ThrowInvalidTimeStamp(int64_t date, int64_t time) {
  throw EConvertError("'" + std::to_string(date) + "." + std::to_string(time) +
                      "' is not a valid timestamp");
}

// Rounds half to even into a signed 64-bit count. A value that has no such
// count (NaN, infinities, far beyond any calendar) is not a date-time.
int64_t RoundToInt64(double x) {
  const double r = std::nearbyint(x);
  if (!(r > -9.2e18 && r < 9.2e18)) throw EConvertError("Invalid floating point operation");
  return static_cast<int64_t>(r);
}

void CheckTimeStamp(int64_t date, int64_t time) {
  if (date <= 0 || time < 0 || time >= kMsPerDay) ThrowInvalidTimeStamp(date, time);
}

}  // namespace

double DateTimeToTimeStampMs(TDateTime value) {
  const int64_t ms = RoundToInt64(value * static_cast<double>(kMsPerDay));
  int64_t date, time;
  if (ms >= 0) {
    date = ms / kMsPerDay + kDelphiEpochDay;
    time = ms % kMsPerDay;
  } else {
    // Before 1899-12-30 the fraction is still the time of day.
    date = kDelphiEpochDay - (-ms) / kMsPerDay;
    time = (-ms) % kMsPerDay;
  }
  CheckTimeStamp(date, time);
  return static_cast<double>(date * kMsPerDay + time);
}

TDateTime TimeStampMsToDateTime(double stored) {
  const int64_t ms = RoundToInt64(stored);
  if (ms == 0) ThrowInvalidTimeStamp(0, 0);
  const int64_t date = ms / kMsPerDay;
  const int64_t time = ms % kMsPerDay;
  CheckTimeStamp(date, time);
  const int64_t d = date - kDelphiEpochDay;
  const double whole = static_cast<double>(d * kMsPerDay);
  return (d >= 0 ? whole + static_cast<double>(time) : whole - static_cast<double>(time)) /
         static_cast<double>(kMsPerDay);
}

TDateTime DayNumberToDateTime(int32_t day) {
  return static_cast<double>(int64_t{day} - kDelphiEpochDay);
}

int32_t DateTimeToDayNumber(TDateTime value) {
  const double stored = DateTimeToTimeStampMs(value);
  const double day = std::floor(stored / static_cast<double>(kMsPerDay));
  if (day > 2147483647.0) {
    ThrowInvalidTimeStamp(static_cast<int64_t>(day), static_cast<int64_t>(std::fmod(stored, static_cast<double>(kMsPerDay))));
  }
  return static_cast<int32_t>(day);
}

TDateTime TimeMsToDateTime(int32_t ms) {
  return static_cast<double>(ms) / static_cast<double>(kMsPerDay);
}

int32_t DateTimeToTimeMs(TDateTime value) {
  const double stored = DateTimeToTimeStampMs(value);
  return static_cast<int32_t>(std::fmod(stored, static_cast<double>(kMsPerDay)));
}

}  // namespace selvane
