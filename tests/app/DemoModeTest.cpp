// `quellion --demo` in the window, offscreen: the engines answer from the bundled
// simulator, the stored hosts are neither used nor written, the title says "Demo".
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>

#include "app/DemoMode.h"
#include "app/MainForm.h"
#include "app/results/GaugeStatusBar.h"
#include "search/SearchControl.h"
#include "settings/Registry.h"
#include "settings/SettingsSchema.h"
#include "tests/app/AppTestSupport.h"
#include "ui_MainForm.h"

namespace quellion {
namespace {

using test::TickEngines;
using test::TSandboxSettings;
using test::WaitUntil;

TEST(DemoMode, RequestedByTheDemoArgumentOnly) {
  const struct {
    QStringList arguments;
    bool demo;
  } cases[] = {
      {{"quellion"}, false},
      {{"quellion", "--demo"}, true},
      {{"quellion", "-style", "Fusion", "--demo"}, true},
      {{"--demo"}, false},  // the program's own name
      {{"quellion", "--demo=1"}, false},
      {{"quellion", "demo"}, false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(c.demo, TDemoEngines::Requested(c.arguments)) << c.arguments.join(' ').toStdString();
}

TEST(DemoMode, TheWindowSearchesTheBundledEnginesAndLeavesTheStoredHostsAlone) {
  TSandboxSettings settings;
  TEngineHosts dead;
  dead.fill("127.0.0.1:1");
  settings.SetEngineHosts(dead);
  ASSERT_TRUE(TRegistry::CurrentUser().Flush());

  {
    TDemoEngines demo;
    for (const std::string& host : demo.Hosts())
      EXPECT_EQ(0u, host.rfind("127.0.0.1:", 0)) << host;
    TMainForm form(TDemoSetup{demo.Hosts()});
    form.show();
    EXPECT_TRUE(form.IsDemo());
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Tarnwick Quellion 2 - Demo"));
    EXPECT_EQ(form.SearchControl().EngineHosts(), demo.Hosts());
    TickEngines(form, {true, true, true, true, true});
    form.Controls().SpinEdit1->setValue(60);
    form.Controls().Edit1->setText(QStringLiteral("offline"));
    form.SearchButtonClick();
    ASSERT_TRUE(WaitUntil([&] { return !form.SearchControl().IsBusy(); }, 30000));
    EXPECT_EQ(form.SearchControl().Table().RowCount(), 60);
    EXPECT_EQ(form.StatusBar()->statusText(), QStringLiteral("Search Complete  -  Found 60 sites"));
  }  // the window stores its settings here, then the simulator stops

  TRegistry::ResetCurrentUser();
  EXPECT_EQ(ReadStoredEngineHosts(TRegistry::CurrentUser()), dead);
  // The other choices are stored as in any run.
  std::int32_t maxSites = 0;
  TRegistryKey* key = TRegistry::CurrentUser().OpenKey(HKEY_CURRENT_USER, kQuellionKeyName, false);
  ASSERT_NE(key, nullptr);
  key->ReadInteger("MaxSites", maxSites);
  EXPECT_EQ(maxSites, 60);

  TMainForm plain;
  EXPECT_FALSE(plain.IsDemo());
  EXPECT_EQ(plain.windowTitle(), QStringLiteral("Tarnwick Quellion 2"));
  EXPECT_EQ(plain.SearchControl().EngineHosts(), dead);
}

}  // namespace
}  // namespace quellion
