#pragma once

#include "platform/ThreadQueue.h"
#include "tasks/TaskTypes.h"

namespace quellion {

// Linux schedules ordinary threads by their nice value, which is per thread. A
// priority maps to a nice value relative to the program's own nice value at start
// ("normal"): idle 19, lowest +10, lower +5, normal +0, higher -5, highest -10,
// time-critical -20, clamped to the kernel's range -20..19. Lowering a nice value
// (raising a priority, or moving a thread back up towards normal) needs
// CAP_SYS_NICE or a RLIMIT_NICE allowance; without them the change is refused and
// the thread keeps the nice value it had.
int NiceValueFor(TThreadPriority priority);

// Sets the nice value of thread `thread` (a kernel thread id) for `priority`.
// Returns false when the kernel refused; callers ignore that.
bool ApplyThreadPriority(ThreadId thread, TThreadPriority priority);

}  // namespace quellion
