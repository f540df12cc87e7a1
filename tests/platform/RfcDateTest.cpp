#include <gtest/gtest.h>

#include <string>

#include "platform/RfcDate.h"

namespace quellion {
namespace {

TEST(RfcDateTest, DaysFrom1899AreCivilDatesWithTheirWeekday) {
  const struct {
    double dateTime;
    std::string text;
  } cases[] = {
      {0.0, "Sat, 30 Dec 1899 00:00:00"},
      {2.0, "Mon, 01 Jan 1900 00:00:00"},
      {25569.0, "Thu, 01 Jan 1970 00:00:00"},
      {36526.5, "Sat, 01 Jan 2000 12:00:00"},
      {36585.0, "Tue, 29 Feb 2000 00:00:00"},  // a leap day of a century year
      {25569.0 + 0.75 + 1.0 / 86400, "Thu, 01 Jan 1970 18:00:01"},
      {36526.0 + 86399.6 / 86400, "Sun, 02 Jan 2000 00:00:00"},  // rounds into the next day
      {-1.0, "Fri, 29 Dec 1899 00:00:00"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(FormatRfcDate(c.dateTime), c.text);
  }
}

}  // namespace
}  // namespace quellion
