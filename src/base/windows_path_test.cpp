#include "base/windows_path.h"

#include <gtest/gtest.h>

namespace selvane {
namespace {

TEST(WindowsPathTest, SplitsDrivePaths) {
  struct Case {
    const char* path;
    char drive;
    std::vector<std::string> components;
  };
  const Case cases[] = {
      {"C:\\", 'C', {}},
      {"c:", 'C', {}},
      {"C:\\Kavel\\ECF\\", 'C', {"Kavel", "ECF"}},
      {"C:/Kavel//ECF/VendraECF.exe", 'C', {"Kavel", "ECF", "VendraECF.exe"}},
      {"d:\\a\\.\\b\\..\\c", 'D', {"a", "c"}},
      {"C:\\..\\..\\x", 'C', {"x"}},  // never above the root
      {"C:\\Program Files\\relatório.txt", 'C', {"Program Files", "relatório.txt"}},
  };
  for (const Case& c : cases) {
    const auto split = SplitDrivePath(c.path);
    ASSERT_TRUE(split.has_value()) << c.path;
    EXPECT_EQ(split->drive, c.drive) << c.path;
    EXPECT_EQ(split->components, c.components) << c.path;
  }
  for (const char* bad : {"", "C", "Kavel\\ECF", "\\\\server\\share", "\\x", "C:x", "1:\\x",
                          "C:\\a*b", "C:\\a?b", "C:\\a|b", "C:\\a\"b", "C:\\a:b"})
    EXPECT_FALSE(SplitDrivePath(bad).has_value()) << bad;
}

TEST(WindowsPathTest, NamesCompareWithoutCase) {
  EXPECT_TRUE(EqualsNoCase("VendraECF.exe", "VENDRAECF.EXE"));
  EXPECT_FALSE(EqualsNoCase("VendraECF.exe", "VendraECF.ex"));
  EXPECT_FALSE(EqualsNoCase("ó", "Ó"));  // only ASCII letters fold
}

TEST(WindowsPathTest, WildcardsMatchAsFindFirstFile) {
  struct Case {
    const char* name;
    const char* mask;
    bool match;
  };
  const Case cases[] = {
      {"a.txt", "*.*", true},        {"README", "*.*", true},      {".", "*.*", true},
      {"a.txt", "*", true},          {"a.TXT", "*.txt", true},     {"a.txt.bak", "*.txt", false},
      {"rtl260.bpl", "*.bpl", true}, {"abc", "abc.*", true},       {"abc.d", "abc.*", true},
      {"abcd", "abc.*", false},      {"abc", "abc.", true},        {"abc.d", "abc.", false},
      {"a1.txt", "a?.txt", true},    {"a12.txt", "a?.txt", false}, {"x", "", false},
      {"Selvane.exe", "SELVANE.EXE", true}, {"aXbXc", "a*b*c", true}, {"ab", "a*b*c", false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(MatchesWildcard(c.name, c.mask), c.match) << c.name << " ~ " << c.mask;
}

}  // namespace
}  // namespace selvane
