#pragma once

#include <memory>
#include <string>

#include "search/PageReader.h"

namespace quellion {

struct TSearchRequest;

// An engine given as data (a definition file, engines/DefinedEngine.h), shared
// read-only by the tasks that run it. Each task reads its pages with a reader of its
// own: pages counted 0, 1, 2, ... (one page without paging), the next asked for
// only while the previous one added a hit.
class TDefinedEngine {
 public:
  virtual ~TDefinedEngine() = default;
  // The SearchEngine value of its rows.
  virtual const std::string& Name() const = 0;
  virtual std::unique_ptr<TPageReader> NewReader(const TSearchRequest& request) const = 0;
};

}  // namespace quellion
