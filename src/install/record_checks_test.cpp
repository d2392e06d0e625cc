#include "install/record_checks.h"

#include <gtest/gtest.h>

#include <cmath>
#include <algorithm>
#include <cstring>
#include <optional>
#include <limits>

#include "base/dos_time.h"
#include "records/record_set.h"
#include "records/timestamp.h"
#include "testing/memory_env.h"

namespace selvane {
namespace {

// A fetch-list record whose FileDate holds the stored bytes `ms` (a double
// of milliseconds from the day before 0001-01-01), as a server may send any
// bytes there: the packet of a good record, patched.
void LoadWithStoredDate(TRecordSet& into, Env& env, std::optional<double> ms) {
  TRecordSet rs(env);
  rs.FieldDefs().Add("FileDate", ftDateTime);
  rs.CreateDataSet();
  rs.Insert();
  const double kMarker = *DateTimeFromCivil({2024, 3, 15, 10, 30, 0, 0});
  if (ms) rs.FieldByName("FileDate").SetAsDateTime(kMarker);
  rs.Post();
  Bytes packet = rs.GetData().bytes();
  if (ms) {
    const double stored = DateTimeToTimeStampMs(kMarker);
    uint8_t from[8], to[8];
    std::memcpy(from, &stored, 8);
    std::memcpy(to, &*ms, 8);
    auto at = std::search(packet.begin(), packet.end(), from, from + 8);
    ASSERT_NE(at, packet.end());
    std::copy(to, to + 8, at);
  }
  into.SetData(OleVariant::FromBytes(std::move(packet)));
}

TEST(CheckedFileDate, OnlyADateThatNamesAMomentPasses) {
  MemoryEnv env;
  constexpr double kMsPerDayF = 86400000.0;
  constexpr double kDay1900 = 693596.0;  // 1900-01-01
  struct Case {
    const char* what;
    std::optional<double> stored_ms;  // nullopt: left null
    bool valid;
  };
  for (const Case& c : std::initializer_list<Case>{
           {"a date of 2024", (kDay1900 + 45365.0) * kMsPerDayF + 37800000.0, true},
           {"a date before 1980, which no file can carry", kDay1900 * kMsPerDayF, true},
           {"the first day of the calendar", kMsPerDayF, true},
           {"null", std::nullopt, false},
           {"zero", 0.0, false},
           {"before the calendar", -kMsPerDayF, false},
           {"not a number", std::numeric_limits<double>::quiet_NaN(), false},
           {"infinite", std::numeric_limits<double>::infinity(), false},
           {"beyond the calendar", 1e300, false},
       }) {
    SCOPED_TRACE(c.what);
    TRecordSet rs(env);
    LoadWithStoredDate(rs, env, c.stored_ms);
    const TField& field = rs.FieldByName("FileDate");
    try {
      const double got = CheckedFileDate(field, "ECF\\VendraECF.exe");
      EXPECT_TRUE(c.valid) << "accepted " << got;
      EXPECT_TRUE(CivilFromDateTime(got).has_value());
    } catch (const EInvalidServerValue& e) {
      EXPECT_FALSE(c.valid);
      EXPECT_STREQ(e.what(), "Data de arquivo inválida recebida do servidor: \"ECF\\VendraECF.exe\"");
    }
  }
}

}  // namespace
}  // namespace selvane
