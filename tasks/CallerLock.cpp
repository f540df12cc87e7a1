#include "tasks/CallerLock.h"

#include "platform/ThreadHalt.h"

namespace quellion {

void TCallerLock::Lock() {
  SafePoint();
  EnterNoPark();
  mutex_.lock();
}

void TCallerLock::Unlock() {
  mutex_.unlock();
  LeaveNoPark();
  SafePoint();  // parks only once no other no-park scope is open
}

}  // namespace quellion
