#include "base/profile_text.h"

#include <gtest/gtest.h>

namespace selvane {
namespace {

TEST(ProfileTextTest, ReadsAsGetPrivateProfileString) {
  const std::string text =
      "; comment\r\n"
      "orphan=1\r\n"
      "[RedeLocal]\r\n"
      "  Local =  sim  \r\n"
      "quoted=\"  a b  \"\r\n"
      "single='x'\r\n"
      "half=\"x\r\n"
      "empty=\r\n"
      "noequals\r\n"
      "local=second\r\n"
      "[ other ]\n"
      "key=v=w\n"
      "[redelocal]\r\n"
      "late=1\r\n";
  struct Case {
    const char* section;
    const char* key;
    std::optional<std::string> value;
  };
  const Case cases[] = {
      {"redelocal", "local", "sim"},  // names without case, values trimmed, first key wins
      {"REDELOCAL", "LOCAL", "sim"},
      {"redelocal", "quoted", "  a b  "},
      {"redelocal", "single", "x"},
      {"redelocal", "half", "\"x"},
      {"redelocal", "empty", ""},
      {"redelocal", "noequals", std::nullopt},
      {"redelocal", "late", std::nullopt},  // only the first matching section counts
      {"other", "key", "v=w"},
      {"", "orphan", std::nullopt},
      {"missing", "local", std::nullopt},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ReadProfileValue(text, c.section, c.key), c.value) << c.section << "/" << c.key;
}

TEST(ProfileTextTest, WritesKeepingEveryOtherLine) {
  struct Case {
    const char* before;
    const char* section;
    const char* key;
    const char* value;
    const char* after;
  };
  const Case cases[] = {
      {"", "redelocal", "local", "nao", "[redelocal]\r\nlocal=nao\r\n"},
      {"[RedeLocal]\r\nLocal = sim ; x\r\n# keep\r\n", "redelocal", "local", "nao",
       "[RedeLocal]\r\nLocal=nao\r\n# keep\r\n"},
      {"[a]\r\nx=1\r\n\r\n[b]\r\ny=2\r\n", "a", "z", "3", "[a]\r\nx=1\r\nz=3\r\n\r\n[b]\r\ny=2\r\n"},
      {"[a]\nx=1", "a", "z", "3", "[a]\nx=1\r\nz=3\r\n"},
      {"[a]\r\nx=1", "b", "y", "2", "[a]\r\nx=1\r\n\r\n[b]\r\ny=2\r\n"},
      {"[a]\r\n", "a", "k", "", "[a]\r\nk=\r\n"},
  };
  for (const Case& c : cases) {
    const std::string after = WriteProfileValue(c.before, c.section, c.key, c.value);
    EXPECT_EQ(after, c.after) << c.before;
    EXPECT_EQ(ReadProfileValue(after, c.section, c.key), std::string(c.value)) << c.before;
  }
}

TEST(ProfileTextTest, DefaultLosesTrailingBlanksOnly) {
  EXPECT_EQ(TrimTrailingBlanks("  nao  "), "  nao");
  EXPECT_EQ(TrimTrailingBlanks("   "), "");
}

}  // namespace
}  // namespace selvane
