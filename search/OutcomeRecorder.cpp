#include "search/OutcomeRecorder.h"

#include <mutex>

#include "search/SearchShared.h"

namespace quellion {

template <typename F>
void TOutcomeRecorder::Change(F&& change) {
  if (!list_)
    return;
  std::lock_guard lock(*shared_->CallerLock);
  change(list_->Items[slot_]);
  if (list_->ChangePosted || !shared_->Dispatcher || shared_->Outcomes != list_)
    return;
  list_->ChangePosted = true;
  // The control and its dispatcher live while Owner is set; the call runs on the main
  // thread, where Owner is cleared, and finds out there whether it still matters.
  shared_->Dispatcher->Post([shared = shared_, list = list_] {
    TSearchControl* owner = nullptr;
    {
      std::lock_guard lock(*shared->CallerLock);
      list->ChangePosted = false;
      if (shared->Outcomes == list)
        owner = shared->Owner;
    }
    if (owner && owner->OnEngineOutcomesChanged)
      owner->OnEngineOutcomesChanged();
  });
}

void TOutcomeRecorder::PageAsked() {
  Change([](TEngineOutcome& o) { ++o.Pages; });
}

void TOutcomeRecorder::HitAdded() {
  Change([](TEngineOutcome& o) { ++o.Hits; });
}

void TOutcomeRecorder::Ended(TEngineEnd end, const std::string& failText) {
  Change([&](TEngineOutcome& o) {
    o.End = end;
    const bool withText =
        end == TEngineEnd::Failed || end == TEngineEnd::Blocked || end == TEngineEnd::Suspended;
    o.FailText = withText ? failText : std::string();
  });
}

}  // namespace quellion
