#include "core/utf8_text.h"

#include <gtest/gtest.h>

namespace {

struct Conversion {
  const char* what;
  std::string utf8;
  std::u16string utf16;
};

TEST(Utf8Text, ConvertsBothWaysAsWindowsDoes) {
  const Conversion cases[] = {
      {"ASCII", "C:\\Program Files\\Halvorn", u"C:\\Program Files\\Halvorn"},
      {"two-byte letters", "C:\\\xC5\x81\xC3\xB3\x64\xC5\xBA", u"C:\\\u0141\u00F3d\u017A"},
      {"three-byte letters", "\xE6\x97\xA5\xE6\x9C\xAC", u"\u65E5\u672C"},
      {"a pair of surrogates", "\xF0\x9F\x98\x80", u"\xD83D\xDE00"},
      {"nothing", "", u""},
  };
  for (const Conversion& c : cases) {
    EXPECT_EQ(Utf8ToUtf16(c.utf8), c.utf16) << c.what;
    EXPECT_EQ(Utf16ToUtf8(c.utf16), c.utf8) << c.what;
  }
}

TEST(Utf8Text, RefusesWhatTheWideCallsRefuse) {
  const char* invalid[] = {
      "a\xE9",             // a Latin-1 letter, as an ANSI answer file would hold it
      "\xC0\x80",          // an overlong NUL
      "\xED\xA0\x80",      // an encoded surrogate
      "\xF4\x90\x80\x80",  // past U+10FFFF
      "\xE6\x97",          // a sequence cut short
      "\x80",              // a continuation with no lead
  };
  for (const char* text : invalid) {
    EXPECT_FALSE(Utf8ToUtf16(text)) << text;
  }
  EXPECT_FALSE(Utf16ToUtf8(u"a\xD83D"));
  EXPECT_FALSE(Utf16ToUtf8(u"\xDE00z"));
}

TEST(Utf8Text, CutsOnlyBetweenCharacters) {
  const std::string lodz = "\xC5\x81\xC3\xB3\x64\xC5\xBA";  // Łódź: 2 + 2 + 1 + 2 bytes
  EXPECT_EQ(CutUtf8(lodz, 7), lodz);
  EXPECT_EQ(CutUtf8(lodz, 6), "\xC5\x81\xC3\xB3\x64");
  EXPECT_EQ(CutUtf8(lodz, 3), "\xC5\x81");
  EXPECT_EQ(CutUtf8(lodz, 1), "");
  EXPECT_EQ(CutUtf8("\xF0\x9F\x98\x80", 3), "");
}

}  // namespace
