#pragma once

#include <memory>

#include "engines/EngineDefinition.h"
#include "search/DefinedEngine.h"

namespace quellion {

// A definition as search control runs it: each task gets its own reader (request
// addresses for its keywords and language, its own compiled XPaths).
std::shared_ptr<const TDefinedEngine> MakeDefinedEngine(const TEngineDefinition& definition);

}  // namespace quellion
