#pragma once

#include <functional>

#include "net/HttpCli.h"

namespace quellion {

// The engine task's wait for a started request (call right after StartGet has
// returned): while !done && keepGoing(): Sleep(100), pump the thread's queue, count
// the step, and from step stepsBeforeAbort + 1 on call Abort in every step until
// done. If the loop ended with !done (keepGoing() turned false), Abort once more.
// done is set by the caller's OnRequestDone handler.
void WaitForRequest(THttpCli& client, const bool& done, const std::function<bool()>& keepGoing,
                    int stepsBeforeAbort = 300);

}  // namespace quellion
