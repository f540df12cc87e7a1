#pragma once

#include <memory>
#include <vector>

#include "engines/EngineDefinition.h"
#include "search/Engines.h"

namespace quellion {

class TDefinedEngine;

// Where a search's engines are, as the window asks before each search: the classic
// engines' hosts and the engines that run the ticked definitions. The window holds one
// for its whole life and asks it nothing else.
class TEngineSource {
 public:
  virtual ~TEngineSource() = default;

  // The classic engines' hosts for this run.
  virtual TEngineHosts Hosts() const = 0;
  // The engines that run these ticked definitions (some may be left out).
  virtual std::vector<std::shared_ptr<const TDefinedEngine>> DefinedEngines(
      const std::vector<TEngineDefinition>& ticked) const = 0;
  // True for the offline demo, whose engines are stand-ins; the window's title says so.
  virtual bool IsDemo() const { return false; }
};

// The engines a user searches: the hosts stored under "Software\Tarnwick Quellion
// Engines" (an engine without a non-empty text value keeps its default host; they are
// only read, never written) and every ticked definition as written.
class TStoredEngineSource final : public TEngineSource {
 public:
  TEngineHosts Hosts() const override;
  std::vector<std::shared_ptr<const TDefinedEngine>> DefinedEngines(
      const std::vector<TEngineDefinition>& ticked) const override;
};

}  // namespace quellion
