#include "records/timestamp.h"

#include <cmath>
#include <functional>
#include <limits>

#include <gtest/gtest.h>

#include "records/db_errors.h"

namespace selvane {
namespace {

constexpr double kDay = 86400000.0;

TEST(TimeStamp, ConvertsBothWays) {
  struct Case {
    const char* what;
    TDateTime value;
    double stored;
    TDateTime read_back;
  };
  const Case cases[] = {
      {"2024-03-15 10:30:00", 45366.4375, 63846181800000.0, 45366.4375},
      {"10:30:00.0004 rounds to the millisecond", 45366.0 + 37800000.4 / kDay, 63846181800000.0,
       45366.4375},
      {"1899-12-30 00:00", 0.0, 693594 * kDay, 0.0},
      {"1899-12-29 12:00: the fraction is the time of day", -1.5, 693593 * kDay + 43200000, -1.5},
      {"0001-01-01", -693593.0, 1 * kDay, -693593.0},
      {"half a millisecond rounds to even", 0.5 / kDay, 693594 * kDay, 0.0},
      {"one and a half milliseconds round to even", 1.5 / kDay, 693594 * kDay + 2, 2 / kDay},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DateTimeToTimeStampMs(c.value), c.stored) << c.what;
    EXPECT_DOUBLE_EQ(TimeStampMsToDateTime(c.stored), c.read_back) << c.what;
  }
}

TEST(TimeStamp, RejectsWhatIsNoTimeStamp) {
  struct Case {
    const char* what;
    std::function<void()> call;
    const char* text;
  };
  const Case cases[] = {
      {"a date before 0001-01-01", [] { DateTimeToTimeStampMs(-693594.0); },
       "'0.0' is not a valid timestamp"},
      {"a stored 0", [] { TimeStampMsToDateTime(0); }, "'0.0' is not a valid timestamp"},
      {"a stored negative count", [] { TimeStampMsToDateTime(-5); }, "'0.-5' is not a valid timestamp"},
      {"a stored count below one day", [] { TimeStampMsToDateTime(1000); },
       "'0.1000' is not a valid timestamp"},
      {"not a number", [] { DateTimeToTimeStampMs(std::numeric_limits<double>::quiet_NaN()); },
       "Invalid floating point operation"},
      {"a stored infinity", [] { TimeStampMsToDateTime(std::numeric_limits<double>::infinity()); },
       "Invalid floating point operation"},
      {"a day number beyond 32 bits", [] { DateTimeToDayNumber(3e9); },
       "'3000693594.0' is not a valid timestamp"},
  };
  for (const auto& c : cases) {
    try {
      c.call();
      ADD_FAILURE() << c.what << ": no error";
    } catch (const EConvertError& e) {
      EXPECT_STREQ(e.what(), c.text) << c.what;
    }
  }
}

TEST(TimeStamp, DateAndTimeFieldsUseDayNumbersAndMilliseconds) {
  EXPECT_EQ(DateTimeToDayNumber(45366.4375), 738960);
  EXPECT_EQ(DayNumberToDateTime(738960), 45366.0);
  EXPECT_EQ(DateTimeToTimeMs(45366.4375), 37800000);
  EXPECT_EQ(TimeMsToDateTime(37800000), 0.4375);
}

}  // namespace
}  // namespace selvane
