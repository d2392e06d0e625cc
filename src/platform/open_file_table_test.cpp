#include "platform/open_file_table.h"

#include <gtest/gtest.h>

namespace selvane {
namespace {

TEST(OpenFileTableTest, ExclusiveHandlesShutOutEveryOtherOpener) {
  OpenFileTable t;
  ASSERT_TRUE(t.Acquire("f", ShareMode::kReadWrite));
  ASSERT_TRUE(t.Acquire("f", ShareMode::kReadWrite));
  EXPECT_FALSE(t.Acquire("f", ShareMode::kExclusive));
  t.Release("f", ShareMode::kReadWrite);
  EXPECT_FALSE(t.Acquire("f", ShareMode::kExclusive));
  t.Release("f", ShareMode::kReadWrite);
  EXPECT_FALSE(t.IsOpen("f"));

  ASSERT_TRUE(t.Acquire("f", ShareMode::kExclusive));
  EXPECT_TRUE(t.IsHeldExclusively("f"));
  EXPECT_FALSE(t.Acquire("f", ShareMode::kReadWrite));
  EXPECT_FALSE(t.Acquire("f", ShareMode::kExclusive));
  EXPECT_TRUE(t.Acquire("g", ShareMode::kExclusive));  // other files are not affected
  t.Release("f", ShareMode::kExclusive);
  EXPECT_FALSE(t.IsOpen("f"));
  EXPECT_TRUE(t.Acquire("f", ShareMode::kReadWrite));
  // A refused open leaves no trace behind.
  EXPECT_FALSE(t.Acquire("g", ShareMode::kReadWrite));
  t.Release("g", ShareMode::kExclusive);
  EXPECT_FALSE(t.IsOpen("g"));
}

}  // namespace
}  // namespace selvane
