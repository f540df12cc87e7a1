#include "platform/ThreadHalt.h"

#include <chrono>
#include <thread>

namespace quellion {
namespace {

thread_local std::shared_ptr<THaltToken> boundToken;
thread_local int noParkDepth = 0;

[[noreturn]] void Park() {
  for (;;)
    std::this_thread::sleep_for(std::chrono::hours(24));
}

}  // namespace

void BindHaltToken(std::shared_ptr<THaltToken> token) {
  boundToken = std::move(token);
}

bool HaltRequested() {
  return boundToken && boundToken->HaltRequested();
}

bool WouldPark() {
  return noParkDepth == 0 && HaltRequested();
}

void SafePoint() {
  if (WouldPark())
    Park();
}

TNoParkScope::TNoParkScope() {
  EnterNoPark();
}
TNoParkScope::~TNoParkScope() {
  LeaveNoPark();
}

void EnterNoPark() {
  ++noParkDepth;
}

void LeaveNoPark() {
  if (noParkDepth > 0)
    --noParkDepth;
}

void Sleep(int ms) {
  SafePoint();
  if (ms > 0)
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
  SafePoint();
}

}  // namespace quellion
