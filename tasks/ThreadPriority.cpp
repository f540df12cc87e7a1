#include "tasks/ThreadPriority.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace quellion {
namespace {

int ProgramNiceValue() {
  // Taken once: the nice value of the main thread (whose id is the process id).
  static const int base = [] {
    errno = 0;
    const int value = ::getpriority(PRIO_PROCESS, static_cast<id_t>(::getpid()));
    return errno == 0 ? value : 0;
  }();
  return base;
}

}  // namespace

int NiceValueFor(TThreadPriority priority) {
  int nice = ProgramNiceValue();
  switch (priority) {
    case tpIdle:
      nice = 19;
      break;
    case tpLowest:
      nice += 10;
      break;
    case tpLower:
      nice += 5;
      break;
    case tpNormal:
      break;
    case tpHigher:
      nice -= 5;
      break;
    case tpHighest:
      nice -= 10;
      break;
    case tpTimeCritical:
      nice = -20;
      break;
  }
  return std::clamp(nice, -20, 19);
}

bool ApplyThreadPriority(ThreadId thread, TThreadPriority priority) {
  return ::setpriority(PRIO_PROCESS, static_cast<id_t>(thread), NiceValueFor(priority)) == 0;
}

}  // namespace quellion
