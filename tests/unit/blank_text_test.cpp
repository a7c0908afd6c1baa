#include "core/blank_text.h"

#include <gtest/gtest.h>

namespace {

TEST(BlankText, IsBlankOnlyForSpaces) {
  EXPECT_TRUE(IsBlankText(""));
  EXPECT_TRUE(IsBlankText("    "));
  EXPECT_FALSE(IsBlankText(" \t "));
  EXPECT_FALSE(IsBlankText("\r\n"));
  EXPECT_FALSE(IsBlankText("  a "));
}

TEST(BlankText, MakesCountBlanksAndNoneBelowOne) {
  EXPECT_EQ(BlankText(10), "          ");
  EXPECT_EQ(BlankText(1), " ");
  EXPECT_EQ(BlankText(0), "");
  EXPECT_EQ(BlankText(-5), "");
  EXPECT_EQ(BlankText(50).size(), 50U);
}

TEST(BlankText, TrimsTrailingBlanksButNeverTheFirstCharacter) {
  const std::pair<const char*, const char*> cases[] = {
      {"C:\\Setup   ", "C:\\Setup"},
      {"  lead", "  lead"},
      {"  lead  ", "  lead"},
      {"", ""},
      {" ", " "},
      {"    ", " "},
      {"a", "a"},
      {"tab\t ", "tab\t"},
  };
  for (const auto& [text, expected] : cases) {
    EXPECT_EQ(TrimTrailingBlanks(text), expected) << '"' << text << '"';
  }
}

}  // namespace
