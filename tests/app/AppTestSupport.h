#pragma once

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/FlexActive.h"
#include "app/widgets/DesktopShell.h"
#include "search/Engines.h"

namespace quellion {
class TMainForm;
}

namespace quellion::test {

// A throw-away settings store: XDG_CONFIG_HOME points into a fresh folder for the
// life of the object, and the process's store is read anew from there.
class TSandboxSettings {
 public:
  TSandboxSettings();
  ~TSandboxSettings();
  const std::string& Folder() const { return folder_; }
  // Points the engines at these hosts ("Software\Tarnwick Quellion Engines").
  void SetEngineHosts(const TEngineHosts& hosts);

 private:
  std::string folder_;
  std::string previous_;
  bool hadPrevious_ = false;
};

// Pumps Qt events until pred() holds or timeoutMs passes.
bool WaitUntil(const std::function<bool()>& pred, int timeoutMs = 15000);

struct TRecordingBanner final : TAdvertisingBanner {
  std::vector<std::array<int, 3>> Calls;
  void Command(int a, int b, int c) override { Calls.push_back({a, b, c}); }
};

struct TRecordingShell final : TDesktopShell {
  std::vector<std::string> Opened;
  bool ShellOpen(const std::string& address) override {
    Opened.push_back(address);
    return true;
  }
  std::vector<QString> Messages;
  bool StartProgram(const QString&, const QString&) override { return false; }
  void ShowMessage(QWidget*, const QString& text) override { Messages.push_back(text); }
};

// Ticks the engine boxes (Hotbot's hidden one included) as given, by engine index.
void TickEngines(TMainForm& form, const std::array<bool, kEngineCount>& ticked);

}  // namespace quellion::test
