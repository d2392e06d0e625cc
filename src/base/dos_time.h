#pragma once
// Conversions between TDateTime values and the MS-DOS packed date-time in
// which file times are read and stamped (two-second resolution, local time,
// years 1980 to 2107), plus the attribute filter of folder listings.

#include <cstdint>
#include <optional>

#include "base/file_attributes.h"

namespace selvane {

// MS-DOS packed date-time, local time (date word, time word).
struct DosDateTime {
  uint16_t date = 0;
  uint16_t time = 0;
  friend bool operator==(const DosDateTime&, const DosDateTime&) = default;
};

// A calendar date and wall-clock time, no time zone attached.
struct CivilTime {
  int year = 0;
  int month = 0;   // 1..12
  int day = 0;     // 1..31
  int hour = 0;    // 0..23
  int minute = 0;  // 0..59
  int second = 0;  // 0..59
  int millisecond = 0;
  friend bool operator==(const CivilTime&, const CivilTime&) = default;
};

// Packs a civil time; odd seconds and milliseconds are dropped. nullopt for a
// year outside 1980..2107 or fields that name no real moment.
std::optional<DosDateTime> PackDosDateTime(const CivilTime& t);
// nullopt when the words hold no valid date and time (month 0, day 31 of a
// 30-day month, seconds field above 29, ...).
std::optional<CivilTime> UnpackDosDateTime(DosDateTime dos);

// TDateTime: whole part = days since 1899-12-30, fraction = time of day
// (for negative values the fraction still counts forward from midnight).
// Milliseconds are rounded; nullopt for NaN, infinities and values beyond the
// calendar's range.
std::optional<CivilTime> CivilFromDateTime(double value);
// nullopt for fields that name no real moment.
std::optional<double> DateTimeFromCivil(const CivilTime& t);

// The stamping conversion: nullopt for years outside 1980..2107.
std::optional<DosDateTime> DosDateTimeFromDateTime(double value);
// The listing conversion; throws std::invalid_argument for words that hold no
// valid date (a file system never reports such a time).
double DateTimeFromDosDateTime(DosDateTime dos);

// Folder listings take ordinary files only: hidden, system, volume-label and
// directory entries (which include "." and "..") are skipped, read-only and
// archive files are listed.
bool IsListedFile(uint32_t attributes);

}  // namespace selvane
