#include <gtest/gtest.h>

#include <string>

#include "platform/TextUtil.h"

namespace quellion {
namespace {

// Letter case is ASCII only: bytes above 127 (a Windows-1252 or UTF-8 letter) compare and
// convert exactly, whatever the locale.
TEST(TextUtil, CaseIsAsciiOnly) {
  struct Case {
    std::string a, b;
    bool same;
  };
  const Case cases[] = {
      {"MultiTasker", "MULTITASKER", true},
      {"", "", true},
      {"a", "ab", false},
      {"\xE9", "\xC9", false},  // é, É in Windows-1252
      {"[", "{", false},
      {"Z@", "z@", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.a + " / " + c.b);
    EXPECT_EQ(SameTextAscii(c.a, c.b), c.same);
  }
  EXPECT_TRUE(SameTextAscii("main", "MAIN"));  // literals on both sides are not ambiguous
  EXPECT_EQ(ToLowerAscii("AZaz09\xC9@["), "azaz09\xC9@[");
  EXPECT_EQ(ToUpperAscii("azAZ\xE9`{"), "AZAZ\xE9`{");
  EXPECT_TRUE(StartsWithTextAscii("HTTP://host", "http:"));
  EXPECT_FALSE(StartsWithTextAscii("http", "http:"));
  EXPECT_TRUE(LessTextAscii("apple", "Banana"));
  EXPECT_FALSE(LessTextAscii("Banana", "apple"));
  EXPECT_FALSE(LessTextAscii("ABC", "abc"));
  EXPECT_TRUE(LessTextAscii("ab", "ABC"));
}

// Blanks are the bytes 0 to 32, as the classic Trim has them.
TEST(TextUtil, BlanksAreControlsAndSpace) {
  EXPECT_EQ(TrimBlanks(std::string("\t\r\n new york \x01\0", 15)), "new york");
  EXPECT_EQ(TrimBlanks(" \xA0 "), "\xA0");  // a no-break space is text
  EXPECT_TRUE(IsBlankText(""));
  EXPECT_TRUE(IsBlankText(std::string(" \t\r\n\0\x1F", 6)));
  EXPECT_FALSE(IsBlankText("  x "));
  EXPECT_FALSE(IsBlankText("\xA0"));
}

// White space is the six ASCII white-space bytes only, whatever the locale.
TEST(TextUtil, SpaceIsAsciiWhiteSpace) {
  EXPECT_EQ(TrimSpaceAscii(" \t\v\f\r\n127.0.0.1 \n"), "127.0.0.1");
  EXPECT_EQ(TrimSpaceAscii("\x01x\x1F"), "\x01x\x1F");
  EXPECT_EQ(TrimSpaceAscii("\xA0x\xA0"), "\xA0x\xA0");
  EXPECT_EQ(TrimSpaceAscii("  "), "");
}

}  // namespace
}  // namespace quellion
