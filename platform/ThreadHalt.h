#pragma once

#include <atomic>
#include <memory>

namespace quellion {

// Cooperative stand-in for suspending a thread from outside, which POSIX lacks.
//
// A thread may bind a halt token to itself. Once another thread requests the halt,
// the bound thread parks itself for good at its next safe point: every wait, pump
// and sleep of the platform layer is one. It never parks inside a TNoParkScope
// (the task runner's caller lock opens one), so a halted thread leaves no lock held
// that someone else needs. A parked thread never runs again; its owner detaches it.
class THaltToken {
 public:
  void RequestHalt() { requested_.store(true, std::memory_order_release); }
  bool HaltRequested() const { return requested_.load(std::memory_order_acquire); }

 private:
  std::atomic<bool> requested_{false};
};

// Binds token to the calling thread (nullptr unbinds). The thread keeps it alive.
void BindHaltToken(std::shared_ptr<THaltToken> token);

// True when the calling thread's halt was requested (parking may still be deferred).
bool HaltRequested();

// True when the next SafePoint on the calling thread would park it.
bool WouldPark();

// Parks the calling thread forever when its halt was requested and no TNoParkScope
// is open on it; otherwise returns at once.
void SafePoint();

// While one of these lives on a thread, SafePoint does not park it.
class TNoParkScope {
 public:
  TNoParkScope();
  ~TNoParkScope();
  TNoParkScope(const TNoParkScope&) = delete;
  TNoParkScope& operator=(const TNoParkScope&) = delete;
};

// Low-level counterpart of TNoParkScope for code whose scopes are not lexical
// (a lock entered in one call and left in another).
void EnterNoPark();
void LeaveNoPark();

// Sleeps for ms milliseconds; a safe point before and after.
void Sleep(int ms);

}  // namespace quellion
