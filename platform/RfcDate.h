#pragma once

#include <string>

namespace quellion {

// "Wkd, DD Mon YYYY HH:MM:SS" (as If-Modified-Since wants it, without the zone) of a
// date-time counted in days from 1899-12-30, the fraction being the time of day.
std::string FormatRfcDate(double dateTime);

}  // namespace quellion
