#pragma once

#include <memory>

#include "engines/EngineDefinition.h"
#include "search/PageEngine.h"

namespace quellion {

// A definition as search control runs it: each task gets its own reader (request
// addresses for its keywords and language, its own compiled XPaths).
std::shared_ptr<const TPageEngine> MakeDefinedEngine(const TEngineDefinition& definition);

}  // namespace quellion
