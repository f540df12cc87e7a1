#include <gtest/gtest.h>

#include <string>

#include "platform/DecimalText.h"
#include "platform/Exception.h"

namespace quellion {
namespace {

TEST(DecimalTextTest, Int32ReadsSignedDecimalsOrRaises) {
  const struct {
    std::string text;
    bool valid;
    int32_t value;
  } cases[] = {
      {"200", true, 200},
      {"  404", true, 404},
      {"+7", true, 7},
      {"-12", true, -12},
      {"2147483647", true, INT32_MAX},
      {"-2147483648", true, INT32_MIN},
      {"2147483648", false, 0},
      {"99999999999999999999", false, 0},
      {"", false, 0},
      {"-", false, 0},
      {"12abc", false, 0},
      {"1 ", false, 0},
      {"0x10", false, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    if (c.valid) {
      EXPECT_EQ(DecimalToInt32(c.text), c.value);
      continue;
    }
    try {
      DecimalToInt32(c.text);
      ADD_FAILURE() << "no exception";
    } catch (const EException& e) {
      EXPECT_EQ(std::string(e.what()), "'" + c.text + "' is not a valid integer value");
    }
  }
}

TEST(DecimalTextTest, LengthsAreUnsignedDigitsWithinInt64) {
  const struct {
    std::string text;
    bool valid;
    int64_t value;
  } cases[] = {
      {"0", true, 0},
      {"1000", true, 1000},
      {" 42\t", true, 42},
      {"9223372036854775807", true, INT64_MAX},
      {"9223372036854775808", false, 0},  // 2^63
      {"18446744073709551616", false, 0},
      {"-1", false, 0},
      {"+1", false, 0},
      {"12abc", false, 0},
      {"1 2", false, 0},
      {"", false, 0},
      {"  ", false, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    int64_t value = -5;
    EXPECT_EQ(ParseDecimalLength(c.text, value), c.valid);
    if (c.valid) {
      EXPECT_EQ(value, c.value);
    }
  }
}

}  // namespace
}  // namespace quellion
