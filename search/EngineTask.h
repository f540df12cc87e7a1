#pragma once

// Internal to search control: the engine tasks.

#include <memory>

#include "search/Engines.h"
#include "search/OutcomeRecorder.h"

namespace quellion {

class TDefinedEngine;
struct TSearchShared;
struct TSearchRun;

// A classic engine's task: the fetch loop with the engine's rules, on the calling
// thread (a task's worker thread). Returns when the engine is finished; swallows
// every error.
void RunClassicEngineTask(const std::shared_ptr<TSearchShared>& shared,
                          const std::shared_ptr<const TSearchRun>& run, TEngine engine,
                          TOutcomeRecorder outcome = {});

// The same for an engine given as data, with a reader of its own.
void RunDefinedEngineTask(const std::shared_ptr<TSearchShared>& shared,
                          const std::shared_ptr<const TSearchRun>& run,
                          const std::shared_ptr<const TDefinedEngine>& engine,
                          TOutcomeRecorder outcome = {});

}  // namespace quellion
