#include <gtest/gtest.h>

#include "platform/TextEncoding.h"

namespace quellion {

TEST(TextEncoding, DecodesUtf8AsIsAndEverythingElseAsWindows1252) {
  struct Case {
    std::string raw, shown;
  } cases[] = {
      {"plain", "plain"},
      {"caf\xc3\xa9", "caf\xc3\xa9"},                                // valid UTF-8 stays
      {"caf\xe9", "caf\xc3\xa9"},                                    // Latin-1 e-acute
      {"\x80 \x93q\x94", "\xe2\x82\xac \xe2\x80\x9cq\xe2\x80\x9d"},  // euro, curly quotes
      {"\xc3", "\xc3\x83"},                                          // truncated sequence
      {"\xed\xa0\x80", "\xc3\xad\xc2\xa0\xe2\x82\xac"},              // surrogate is not UTF-8
      {"\x81", "\xc2\x81"},  // unassigned byte keeps its number
  };
  for (const auto& c : cases)
    EXPECT_EQ(c.shown, DecodeForDisplay(c.raw)) << c.raw;
}

// Each length at its bounds.
TEST(TextEncoding, AppendsUtf8OfEveryLength) {
  struct Case {
    uint32_t cp;
    std::string utf8;
  } cases[] = {
      {0x41, "A"},
      {0x7F, "\x7f"},
      {0x80, "\xc2\x80"},
      {0x7FF, "\xdf\xbf"},
      {0x800, "\xe0\xa0\x80"},
      {0x20AC, "\xe2\x82\xac"},
      {0xFFFF, "\xef\xbf\xbf"},
      {0x10000, "\xf0\x90\x80\x80"},
      {0x10FFFF, "\xf4\x8f\xbf\xbf"},
  };
  for (const auto& c : cases) {
    std::string out = "x";
    AppendUtf8(out, c.cp);
    EXPECT_EQ("x" + c.utf8, out) << c.cp;
  }
}

}  // namespace quellion
