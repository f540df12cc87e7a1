#include "platform/RfcDate.h"

#include <cmath>
#include <cstdint>

#include "platform/Exception.h"

namespace quellion {

std::string FormatRfcDate(double dateTime) {
  const double whole = std::floor(dateTime);
  const int64_t days = static_cast<int64_t>(whole);
  int64_t seconds = std::llround((dateTime - whole) * 86400.0);
  int64_t dayNumber = days;
  if (seconds >= 86400) {
    seconds -= 86400;
    ++dayNumber;
  }
  // Civil date from days since 1970-01-01 (1899-12-30 is 25569 days before it).
  int64_t z = dayNumber - 25569 + 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  int64_t year = yoe + era * 400;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  const int64_t day = doy - (153 * mp + 2) / 5 + 1;
  const int64_t month = mp < 10 ? mp + 3 : mp - 9;
  if (month <= 2)
    ++year;
  // 1899-12-30 was a Saturday; index into Mon..Sun.
  const int weekday = static_cast<int>(((dayNumber % 7) + 7 + 5) % 7);
  static const char* kDays = "MonTueWedThuFriSatSun";
  static const char* kMonths = "JanFebMarAprMayJunJulAugSepOctNovDec";
  return std::string(kDays + weekday * 3, 3) + ", " +
         Format("%2.2d %s %4.4d %2.2d:%2.2d:%2.2d", static_cast<int>(day),
                std::string(kMonths + (month - 1) * 3, 3).c_str(), static_cast<int>(year),
                static_cast<int>(seconds / 3600), static_cast<int>(seconds / 60 % 60),
                static_cast<int>(seconds % 60));
}

}  // namespace quellion
