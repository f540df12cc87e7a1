#pragma once

#include <string>
#include <vector>

#include "engines/DefinitionExtractor.h"
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

}  // namespace quellion::test
