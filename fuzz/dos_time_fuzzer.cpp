// Arbitrary DOS words and TDateTime values through the file-time conversions:
// every accepted value lies in the calendar's ranges, and each conversion
// that accepts a value gives it back through its inverse.
//
// Input: bytes 0-3 are a date word and a time word (little-endian); bytes
// 4-11, when present, are a double.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "base/dos_time.h"

using namespace selvane;

namespace {

void Require(bool ok) {
  if (!ok) abort();
}

bool InRanges(const CivilTime& t) {
  return t.year >= 1 && t.year <= 9999 && t.month >= 1 && t.month <= 12 && t.day >= 1 && t.day <= 31 &&
         t.hour >= 0 && t.hour <= 23 && t.minute >= 0 && t.minute <= 59 && t.second >= 0 && t.second <= 59 &&
         t.millisecond >= 0 && t.millisecond <= 999;
}

void CheckWords(DosDateTime dos) {
  const auto civil = UnpackDosDateTime(dos);
  bool thrown = false;
  double value = 0;
  try {
    value = DateTimeFromDosDateTime(dos);
  } catch (const std::invalid_argument&) {
    thrown = true;
  }
  Require(thrown == !civil.has_value());  // the listing conversion refuses exactly what unpacking refuses
  if (!civil) return;
  Require(InRanges(*civil) && civil->year >= 1980 && civil->year <= 2107 && civil->second % 2 == 0 &&
          civil->millisecond == 0);
  Require(PackDosDateTime(*civil) == dos);
  Require(CivilFromDateTime(value) == civil);
  Require(DosDateTimeFromDateTime(value) == dos);
}

void CheckValue(double value) {
  const auto civil = CivilFromDateTime(value);
  if (!std::isfinite(value)) Require(!civil);
  const auto dos = DosDateTimeFromDateTime(value);
  if (!civil) {
    Require(!dos);
    return;
  }
  Require(InRanges(*civil));
  // The civil time is a fixed point: back to a value and out again changes nothing.
  const auto again = DateTimeFromCivil(*civil);
  Require(again.has_value());
  Require(CivilFromDateTime(*again) == civil);
  // Within a millisecond's rounding of the value, plus the double's own step;
  // compared by magnitude, as -0.25 and 0.25 are the same moment.
  Require(std::fabs(std::fabs(*again) - std::fabs(value)) <= 0.5 / 86'400'000.0 + std::fabs(value) * 1e-15 + 1e-12);
  Require(dos.has_value() == (civil->year >= 1980 && civil->year <= 2107));
  if (!dos) return;
  // Stamping keeps the moment down to the even second below it.
  CivilTime floored = *civil;
  floored.second -= floored.second % 2;
  floored.millisecond = 0;
  Require(UnpackDosDateTime(*dos) == floored);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  CheckWords({static_cast<uint16_t>(data[0] | data[1] << 8), static_cast<uint16_t>(data[2] | data[3] << 8)});
  if (size >= 12) {
    double value;
    std::memcpy(&value, data + 4, sizeof value);
    CheckValue(value);
  }
  return 0;
}
