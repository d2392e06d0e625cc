// Conversion of the 96-dpi layout to other display scales.

#include "ui/dpi_scale.h"

#include <gtest/gtest.h>

namespace selvane::ui {
namespace {

TEST(DpiScaleTest, RoundsHalfAwayFromZeroAsMulDiv) {
  const struct {
    int value, dpi, expected;
  } cases[] = {
      {515, 120, 644},  // 643.75
      {341, 144, 512},  // 511.5: half goes up
      {10, 120, 13},    // 12.5
      {29, 120, 36},    // 36.25 goes down
      {-15, 144, -23},  // -22.5: half goes away from zero
      {-1, 120, -1},    // -1.25
      {-10, 120, -13},  // -12.5
      {-8, 168, -14},   // -14 exactly
      {0, 192, 0},
      {123, 96, 123},
      {333, 192, 666},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.value << " at " << c.dpi);
    EXPECT_EQ(ScaleToDpi(c.value, c.dpi), c.expected);
  }
}

TEST(DpiScaleTest, ArtworkIsTheNearestScaleAndATieTakesTheLarger) {
  const struct {
    int dpi, percent;
  } cases[] = {
      {72, 100},  {96, 100},  {107, 100}, {108, 125},  // 112.5 %: the tie between 100 and 125
      {120, 125}, {131, 125}, {132, 150}, {144, 150},  // 137.5 %: tie
      {167, 150}, {168, 200}, {192, 200}, {288, 200},  // 175 %: tie; nothing above 200 %
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.dpi);
    EXPECT_EQ(ArtworkPercent(c.dpi), c.percent);
  }
}

}  // namespace
}  // namespace selvane::ui
