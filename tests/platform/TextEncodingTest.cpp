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

}  // namespace quellion
