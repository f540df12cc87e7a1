#include "search/RequestWait.h"

#include "platform/ThreadHalt.h"
#include "platform/ThreadQueue.h"

namespace quellion {

void WaitForRequest(THttpCli& client, const bool& done, const std::function<bool()>& keepGoing,
                    int stepsBeforeAbort) {
  int steps = 0;
  while (!done && keepGoing()) {
    Sleep(100);
    TThreadQueue::Current().Pump();
    ++steps;
    if (steps > stepsBeforeAbort)
      client.Abort();
  }
  if (!done)
    client.Abort();
}

}  // namespace quellion
