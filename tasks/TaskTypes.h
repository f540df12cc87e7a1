#pragma once

#include <cstdint>
#include <functional>

namespace quellion {

// A task: a parameterless method bound to an object.
using TThreadMethod = std::function<void()>;

// In the platform's order: idle, lowest, below normal, normal, above normal, highest,
// time-critical. How these map onto Linux: ThreadPriority.h.
enum TThreadPriority : uint8_t {
  tpIdle,
  tpLowest,
  tpLower,
  tpNormal,
  tpHigher,
  tpHighest,
  tpTimeCritical,
};

}  // namespace quellion
