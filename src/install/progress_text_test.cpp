#include "install/progress_text.h"

#include <gtest/gtest.h>

#include <vector>

namespace selvane {
namespace {

std::vector<int> Sequence(int count) {
  std::vector<int> out;
  for (int i = 1; i <= count; ++i) out.push_back(RoundedPercent(i, count));
  return out;
}

TEST(RoundedPercent, TiesGoToTheEvenInteger) {
  EXPECT_EQ(Sequence(8), (std::vector<int>{12, 25, 38, 50, 62, 75, 88, 100}));
  EXPECT_EQ(Sequence(3), (std::vector<int>{33, 67, 100}));
  EXPECT_EQ(Sequence(1), (std::vector<int>{100}));
  EXPECT_EQ(Sequence(40)[0], 2);   // 2.5
  EXPECT_EQ(Sequence(40)[2], 8);   // 7.5
  EXPECT_EQ(RoundedPercent(1, 200), 0);    // 0.5
  EXPECT_EQ(RoundedPercent(3, 200), 2);    // 1.5
  // The product does not overflow for the largest positions.
  EXPECT_EQ(RoundedPercent(2147483647, 2147483647), 100);
}

TEST(PercentStatus, FormsTheStatusLine) {
  EXPECT_EQ(PercentStatus(kInstallingPrefix, 3, 8), "Instalando... 38% Concluído.");
  EXPECT_EQ(PercentStatus(kUpdatingPrefix, 1, 1), "Atualizando... 100% Concluído.");
}

}  // namespace
}  // namespace selvane
