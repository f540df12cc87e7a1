#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <utility>

#include "search/EngineOutcome.h"

namespace quellion {

struct TSearchShared;
struct TOutcomeList;

// What one task records of its engine's outcome. Each change is made under the caller
// lock and tells the main thread (OnEngineOutcomesChanged, posted through the
// dispatcher; changes that come while one is on its way share it). Without a list
// (an engine routine called directly) nothing is recorded.
class TOutcomeRecorder {
 public:
  TOutcomeRecorder() = default;
  TOutcomeRecorder(std::shared_ptr<TSearchShared> shared, std::shared_ptr<TOutcomeList> list,
                   size_t slot)
      : shared_(std::move(shared)), list_(std::move(list)), slot_(slot) {}

  void PageAsked();
  void HitAdded();
  void Ended(TEngineEnd end, const std::string& failText = {});

 private:
  template <typename F>
  void Change(F&& change);

  std::shared_ptr<TSearchShared> shared_;
  std::shared_ptr<TOutcomeList> list_;
  size_t slot_ = 0;
};

}  // namespace quellion
