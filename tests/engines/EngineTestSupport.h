#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "engines/DefinedEngine.h"
#include "engines/DefinitionExtractor.h"
#include "engines/EngineDefinition.h"
#include "search/Hit.h"
#include "tests/support/TempDir.h"

namespace quellion::test {

// Every hit the extractor hands on for one page.
inline std::vector<THit> ExtractAll(TDefinitionExtractor& extractor, const std::string& page,
                                    const std::string& contentType = "",
                                    const std::string& pageUrl = "http://engine.test/search?q=x") {
  std::vector<THit> hits;
  extractor.Extract(
      page, contentType, pageUrl, [] { return true; },
      [&hits](const THit& hit) { hits.push_back(hit); });
  return hits;
}

// A definition's text as an engine for search control; a definition that does not load
// fails the test (and gives no engine).
inline std::shared_ptr<const TDefinedEngine> DefinedEngine(const std::string& text) {
  TDefinitionLoad load = ParseDefinition(text);
  EXPECT_TRUE(load.Definition) << load.Error;
  return load.Definition ? MakeDefinedEngine(*load.Definition) : nullptr;
}

}  // namespace quellion::test
