#include "engines/EngineSource.h"

#include "engines/DefinedEngine.h"
#include "settings/Registry.h"
#include "settings/SettingsSchema.h"

namespace quellion {

TEngineHosts TStoredEngineSource::Hosts() const {
  TEngineHosts hosts = ReadStoredEngineHosts(TRegistry::CurrentUser());
  for (TEngine engine : kAllEngines) {
    if (hosts[EngineIndex(engine)].empty())
      hosts[EngineIndex(engine)] = DefaultEngineHost(engine);
  }
  return hosts;
}

std::vector<std::shared_ptr<const TDefinedEngine>> TStoredEngineSource::DefinedEngines(
    const std::vector<TEngineDefinition>& ticked) const {
  std::vector<std::shared_ptr<const TDefinedEngine>> engines;
  for (const TEngineDefinition& definition : ticked)
    engines.push_back(MakeDefinedEngine(definition));
  return engines;
}

}  // namespace quellion
