#pragma once

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/FlexActive.h"
#include "search/Engines.h"
#include "tests/support/SettingsSandbox.h"

namespace quellion {
class TMainForm;
}

namespace quellion::test {

// The shared settings sandbox, able to point the engines at the window's hosts.
class TSandboxSettings : public TSettingsSandbox {
 public:
  // Points the engines at these hosts ("Software\Tarnwick Quellion Engines").
  void SetEngineHosts(const TEngineHosts& hosts);
};

// Pumps Qt events until pred() holds or timeoutMs passes.
bool WaitUntil(const std::function<bool()>& pred, int timeoutMs = 15000);

struct TRecordingBanner final : TAdvertisingBanner {
  std::vector<std::array<int, 3>> Calls;
  void Command(int a, int b, int c) override { Calls.push_back({a, b, c}); }
};

// Ticks the engine boxes (Hotbot's hidden one included) as given, by engine index.
void TickEngines(TMainForm& form, const std::array<bool, kEngineCount>& ticked);

}  // namespace quellion::test
