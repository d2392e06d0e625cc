#include "install/file_time.h"

#include <gtest/gtest.h>

#include "install/test_root.h"
#include "base/dos_time.h"

namespace selvane {
namespace {

double At(int y, int mo, int d, int h, int mi, int s, int ms) {
  return DateTimeFromCivil(CivilTime{y, mo, d, h, mi, s, ms}).value();
}

class FileTimeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_.MakeDir("C:\\Kavel\\ECF");
    root_.Write(kFile, "x");
  }
  static constexpr const char* kFile = "C:\\Kavel\\ECF\\VendraECF.exe";
  TestRoot root_;
};

TEST_F(FileTimeTest, StampsAtTwoSecondResolution) {
  ASSERT_TRUE(DefineDataHoraArq(root_.env(), kFile, At(2021, 3, 15, 10, 20, 31, 900)));
  EXPECT_EQ(DataHoraArq(root_.env(), kFile), At(2021, 3, 15, 10, 20, 30, 0));
  // The range's ends.
  for (double when : {At(1980, 1, 1, 0, 0, 0, 0), At(2107, 12, 31, 23, 59, 58, 0)}) {
    ASSERT_TRUE(DefineDataHoraArq(root_.env(), kFile, when));
    EXPECT_EQ(DataHoraArq(root_.env(), kFile), when);
  }
}

TEST_F(FileTimeTest, OutOfRangeOrMissingGivesFalseAndChangesNothing) {
  ASSERT_TRUE(DefineDataHoraArq(root_.env(), kFile, At(2020, 6, 1, 12, 0, 0, 0)));
  for (double when : {At(1979, 12, 31, 23, 59, 58, 0), At(2108, 1, 1, 0, 0, 0, 0), -1e300,
                      std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity()}) {
    EXPECT_FALSE(DefineDataHoraArq(root_.env(), kFile, when)) << when;
    EXPECT_EQ(DataHoraArq(root_.env(), kFile), At(2020, 6, 1, 12, 0, 0, 0));
  }
  EXPECT_FALSE(DefineDataHoraArq(root_.env(), "C:\\Kavel\\ECF\\missing.exe", At(2020, 6, 1, 12, 0, 0, 0)));
  EXPECT_FALSE(root_.env().FileExists("C:\\Kavel\\ECF\\missing.exe"));
  EXPECT_EQ(DataHoraArq(root_.env(), "C:\\Kavel\\ECF\\missing.exe"), std::nullopt);
}

}  // namespace
}  // namespace selvane
