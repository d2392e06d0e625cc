#include "base/code_page_1252.h"

#include <gtest/gtest.h>

namespace selvane {
namespace {

TEST(CodePage1252Test, EveryByteSurvivesTheRoundTrip) {
  std::string all;
  for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
  EXPECT_EQ(Utf8ToWindows1252(Windows1252ToUtf8(all)), all);
}

TEST(CodePage1252Test, MapsPortugueseAndTheHighControls) {
  struct Case {
    const char* utf8;
    const char* ansi;
  };
  for (const Case& c : {Case{"relatório.txt", "relat\xF3rio.txt"}, Case{"Instalação", "Instala\xE7\xE3o"},
                        Case{"€‚ƒ„…†‡ˆ‰Š‹ŒŽ", "\x80\x82\x83\x84\x85\x86\x87\x88\x89\x8A\x8B\x8C\x8E"},
                        Case{"‘’“”•–—˜™š›œžŸ", "\x91\x92\x93\x94\x95\x96\x97\x98\x99\x9A\x9B\x9C\x9E\x9F"}}) {
    EXPECT_EQ(Utf8ToWindows1252(c.utf8), c.ansi) << c.utf8;
    EXPECT_EQ(Windows1252ToUtf8(c.ansi), c.utf8) << c.utf8;
  }
}

TEST(CodePage1252Test, WhatTheCodePageLacksBecomesAQuestionMark) {
  EXPECT_EQ(Utf8ToWindows1252("ж"), "?");
  EXPECT_EQ(Utf8ToWindows1252("a😀b"), "a?b");      // one character, one '?'
  EXPECT_EQ(Utf8ToWindows1252("a\xFF" "b"), "a?b");  // invalid UTF-8
  EXPECT_EQ(Utf8ToWindows1252("ā"), "?");            // no best-fit approximation
}

}  // namespace
}  // namespace selvane
