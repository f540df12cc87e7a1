#pragma once

#include <ostream>

#include "search/Hit.h"

namespace quellion {

// Readable hits in test failure messages.
inline void PrintTo(const THit& hit, std::ostream* os) {
  *os << "{\"" << hit.Title << "\", \"" << hit.URL << "\", \"" << hit.Description << "\"}";
}

}  // namespace quellion
