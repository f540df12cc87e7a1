#include <gtest/gtest.h>

#include "platform/Exception.h"

namespace quellion {

TEST(Exception, CarriesItsMessage) {
  try {
    throw EException("boom");
  } catch (const std::exception& e) {
    EXPECT_STREQ("boom", e.what());
  }
}

TEST(Exception, ListIndexErrorNamesTheIndex) {
  for (int index : {-1, 0, 7, 2147483647}) {
    EListError error(index);
    EXPECT_EQ("List index out of bounds (" + std::to_string(index) + ")", error.Message);
    EXPECT_EQ(index, error.Index);
  }
}

TEST(Exception, FormatFillsPrintfPlaceholders) {
  EXPECT_EQ("A task named \"x\" is already running !",
            Format("A task named \"%s\" is already running !", "x"));
  EXPECT_EQ("", Format("%s", ""));
  EXPECT_EQ(std::string(5000, 'a'), Format("%s", std::string(5000, 'a').c_str()));
}

}  // namespace quellion
