#include "base/dos_time.h"

#include <chrono>
#include <cmath>
#include <stdexcept>

namespace selvane {
namespace {

using namespace std::chrono;

constexpr int64_t kMsPerDay = 86'400'000;
constexpr int kFirstDosYear = 1980;
constexpr int kLastDosYear = 2107;
// Days before and after which no four-digit year exists; keeps the integer
// arithmetic below far from overflow.
constexpr double kMinDays = -693'593.0;    // 0001-01-01
constexpr double kMaxDays = 2'958'465.0;   // 9999-12-31

const sys_days kEpoch = sys_days{1899y / December / 30};

bool ValidFields(const CivilTime& t) {
  const year_month_day ymd{year{t.year}, month{static_cast<unsigned>(t.month)},
                           day{static_cast<unsigned>(t.day)}};
  return t.month >= 1 && t.month <= 12 && t.day >= 1 && t.day <= 31 && ymd.ok() &&
         t.hour >= 0 && t.hour < 24 && t.minute >= 0 && t.minute < 60 && t.second >= 0 &&
         t.second < 60 && t.millisecond >= 0 && t.millisecond < 1000;
}

}  // namespace

std::optional<DosDateTime> PackDosDateTime(const CivilTime& t) {
  if (!ValidFields(t) || t.year < kFirstDosYear || t.year > kLastDosYear) return std::nullopt;
  DosDateTime dos;
  dos.date = static_cast<uint16_t>(((t.year - kFirstDosYear) << 9) | (t.month << 5) | t.day);
  dos.time = static_cast<uint16_t>((t.hour << 11) | (t.minute << 5) | (t.second / 2));
  return dos;
}

std::optional<CivilTime> UnpackDosDateTime(DosDateTime dos) {
  CivilTime t;
  t.year = kFirstDosYear + (dos.date >> 9);
  t.month = (dos.date >> 5) & 0x0F;
  t.day = dos.date & 0x1F;
  t.hour = dos.time >> 11;
  t.minute = (dos.time >> 5) & 0x3F;
  t.second = (dos.time & 0x1F) * 2;
  if (!ValidFields(t)) return std::nullopt;
  return t;
}

std::optional<CivilTime> CivilFromDateTime(double value) {
  if (!std::isfinite(value) || value < kMinDays || value >= kMaxDays + 1.0) return std::nullopt;
  const double whole = std::trunc(value);
  auto days = static_cast<int64_t>(whole);
  auto ms = static_cast<int64_t>(std::llround(std::fabs(value - whole) * kMsPerDay));
  if (ms >= kMsPerDay) {  // a fraction a hair below one rounds up to the next midnight
    ms -= kMsPerDay;
    days += value < 0 ? -1 : 1;
  }
  const year_month_day ymd{kEpoch + std::chrono::days{days}};
  CivilTime t;
  t.year = static_cast<int>(ymd.year());
  t.month = static_cast<int>(static_cast<unsigned>(ymd.month()));
  t.day = static_cast<int>(static_cast<unsigned>(ymd.day()));
  t.hour = static_cast<int>(ms / 3'600'000);
  t.minute = static_cast<int>(ms / 60'000 % 60);
  t.second = static_cast<int>(ms / 1000 % 60);
  t.millisecond = static_cast<int>(ms % 1000);
  return t;
}

std::optional<double> DateTimeFromCivil(const CivilTime& t) {
  if (!ValidFields(t)) return std::nullopt;
  const year_month_day ymd{year{t.year}, month{static_cast<unsigned>(t.month)},
                           day{static_cast<unsigned>(t.day)}};
  const double days = static_cast<double>((sys_days{ymd} - kEpoch).count());
  const double fraction =
      static_cast<double>(((t.hour * 60 + t.minute) * 60 + t.second) * 1000 + t.millisecond) /
      kMsPerDay;
  // Before the epoch the fraction still counts forward from midnight.
  return days < 0 ? days - fraction : days + fraction;
}

std::optional<DosDateTime> DosDateTimeFromDateTime(double value) {
  const auto civil = CivilFromDateTime(value);
  if (!civil) return std::nullopt;
  return PackDosDateTime(*civil);
}

double DateTimeFromDosDateTime(DosDateTime dos) {
  const auto civil = UnpackDosDateTime(dos);
  if (!civil) throw std::invalid_argument("Invalid argument to date encode");
  return *DateTimeFromCivil(*civil);
}

bool IsListedFile(uint32_t attributes) {
  return (attributes & (kAttrHidden | kAttrSystem | kAttrVolumeId | kAttrDirectory)) == 0;
}

}  // namespace selvane
