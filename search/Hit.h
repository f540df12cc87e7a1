#pragma once

#include <functional>
#include <string>

#include "platform/Exception.h"

namespace quellion {

// One hit as an extraction rule hands it on: raw 8-bit text, not cut to the table's
// field widths.
struct THit {
  std::string Title;
  std::string URL;
  std::string Description;
  bool operator==(const THit&) const = default;
};

// Receives each hit the moment the rule has read it, before the rule reads on.
using THitSink = std::function<void(const THit& hit)>;

// Raised by a rule when the page lacks the nodes the rule needs to start or go on:
// the failure that ends the engine's task.
class ERuleFailed : public EException {
 public:
  using EException::EException;
};

}  // namespace quellion
