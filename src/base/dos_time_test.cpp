#include "base/dos_time.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace selvane {
namespace {

double At(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0) {
  return *DateTimeFromCivil({y, mo, d, h, mi, s, ms});
}

TEST(DosTimeTest, DateTimesKnownToTheEpoch) {
  EXPECT_EQ(At(1899, 12, 30), 0.0);
  EXPECT_EQ(At(2024, 3, 15, 10, 30), 45366.4375);
  // Before the epoch the fraction still counts forward from midnight.
  EXPECT_EQ(At(1899, 12, 29, 6), -1.25);
  EXPECT_EQ(CivilFromDateTime(-1.25), (CivilTime{1899, 12, 29, 6, 0, 0, 0}));
  EXPECT_EQ(CivilFromDateTime(45366.4375), (CivilTime{2024, 3, 15, 10, 30, 0, 0}));
}

TEST(DosTimeTest, PacksTheDateAndTimeWords) {
  struct Case {
    double value;
    uint16_t date;
    uint16_t time;
  };
  const Case cases[] = {
      {At(2021, 3, 15, 10, 20, 31, 900), (41 << 9) | (3 << 5) | 15, (10 << 11) | (20 << 5) | 15},
      {At(1980, 1, 1), (0 << 9) | (1 << 5) | 1, 0},
      {At(2107, 12, 31, 23, 59, 59, 999), (127 << 9) | (12 << 5) | 31, (23 << 11) | (59 << 5) | 29},
      {At(2020, 2, 29, 12, 0, 1), (40 << 9) | (2 << 5) | 29, (12 << 11)},
      // A fraction a hair below one day is the next midnight, not hour 24.
      {At(2021, 3, 15) + 0.99999999999, (41 << 9) | (3 << 5) | 16, 0},
  };
  for (const Case& c : cases) {
    const auto dos = DosDateTimeFromDateTime(c.value);
    ASSERT_TRUE(dos.has_value()) << c.value;
    EXPECT_EQ(*dos, (DosDateTime{c.date, c.time})) << c.value;
  }
}

TEST(DosTimeTest, RefusesWhatThePackedFormCannotHold) {
  for (const double v : {At(1979, 12, 31, 23, 59, 59), At(2108, 1, 1), 0.0, -700000.0,
                         std::numeric_limits<double>::quiet_NaN(),
                         std::numeric_limits<double>::infinity(), 1e300})
    EXPECT_FALSE(DosDateTimeFromDateTime(v).has_value()) << v;
}

TEST(DosTimeTest, UnpackingRejectsWordsThatNameNoMoment) {
  struct Case {
    uint16_t date;
    uint16_t time;
  };
  const Case bad[] = {
      {0, 0},                                      // month 0, day 0
      {(41 << 9) | (2 << 5) | 29, 0},              // 2021-02-29
      {(41 << 9) | (4 << 5) | 31, 0},              // April 31
      {(41 << 9) | (13 << 5) | 1, 0},              // month 13
      {(41 << 9) | (1 << 5) | 1, 30},              // 60 seconds
      {(41 << 9) | (1 << 5) | 1, 24 << 11},        // hour 24
      {(41 << 9) | (1 << 5) | 1, 60 << 5},         // minute 60
  };
  for (const Case& c : bad) {
    EXPECT_FALSE(UnpackDosDateTime({c.date, c.time}).has_value()) << c.date << " " << c.time;
    EXPECT_THROW(DateTimeFromDosDateTime({c.date, c.time}), std::invalid_argument);
  }
}

TEST(DosTimeTest, ListedTimeIsTheStampedTimeAtEvenSeconds) {
  for (const double v : {At(2021, 3, 15, 10, 20, 31, 900), At(1980, 1, 1, 0, 0, 1),
                         At(2000, 2, 29, 23, 59, 58), At(2107, 12, 31, 23, 59, 59, 999)}) {
    const double listed = DateTimeFromDosDateTime(*DosDateTimeFromDateTime(v));
    EXPECT_LE(listed, v);
    EXPECT_LT(v - listed, 2.0 / 86400.0);
    const CivilTime c = *CivilFromDateTime(listed);
    EXPECT_EQ(c.second % 2, 0);
    EXPECT_EQ(c.millisecond, 0);
    // Stamping the listed time again changes nothing.
    EXPECT_EQ(DosDateTimeFromDateTime(listed), DosDateTimeFromDateTime(v));
  }
}

TEST(DosTimeTest, ListingFilterSkipsHiddenSystemAndFolders) {
  struct Case {
    uint32_t attributes;
    bool listed;
  };
  for (const Case& c : {Case{kAttrArchive, true}, Case{kAttrNormal, true},
                        Case{kAttrReadOnly | kAttrArchive, true}, Case{0, true},
                        Case{kAttrHidden | kAttrArchive, false}, Case{kAttrSystem, false},
                        Case{kAttrDirectory, false}, Case{kAttrVolumeId, false},
                        Case{kAttrReadOnly | kAttrHidden, false}})
    EXPECT_EQ(IsListedFile(c.attributes), c.listed) << c.attributes;
}

}  // namespace
}  // namespace selvane
