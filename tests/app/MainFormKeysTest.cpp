// The window's keyboard additions against the engine simulator: Escape in the keyword
// box stops a running search and does nothing otherwise.
#include <gtest/gtest.h>

#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "app/MainForm.h"
#include "app/results/GaugeStatusBar.h"
#include "search/SearchControl.h"
#include "tests/app/AppTestSupport.h"
#include "tools/engine-sim/EngineSimulator.h"
#include "ui_MainForm.h"

namespace quellion {
namespace {

using test::TickEngines;
using test::TSandboxSettings;
using test::WaitUntil;
using tools::TEngineSimulator;
using tools::TSimConfig;

constexpr std::array<bool, kEngineCount> kOnlyAltavista = {true, false, false, false, false};

class MainFormKeys : public ::testing::Test {
 protected:
  void Open(int total, int delayMs) {
    TSimConfig config;
    for (auto& engine : config) {
      engine.Total = total;
      engine.DelayMs = delayMs;
    }
    simulator_ = std::make_unique<TEngineSimulator>(config);
    simulator_->Start();
    settings_.SetEngineHosts(simulator_->Hosts());
    form_ = std::make_unique<TMainForm>();
    form_->show();
    TickEngines(*form_, kOnlyAltavista);
  }
  Ui::MainForm& Ui() { return form_->Controls(); }
  std::string Caption() { return Ui().SearchButton->text().toStdString(); }
  std::string Status() { return form_->StatusBar()->statusText().toStdString(); }
  void KeyInKeywords(int key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QCoreApplication::sendEvent(Ui().Edit1, &press);
  }

  TSandboxSettings settings_;
  std::unique_ptr<TEngineSimulator> simulator_;
  std::unique_ptr<TMainForm> form_;
};

TEST_F(MainFormKeys, EscapeInTheKeywordBoxStopsARunningSearchOnly) {
  Open(1000, 300);
  Ui().SpinEdit1->setValue(1000);
  Ui().Edit1->setText(QStringLiteral("cats"));

  // Idle: Escape starts nothing and keeps the keywords.
  KeyInKeywords(Qt::Key_Escape);
  EXPECT_EQ(Caption(), "Begin Search");
  EXPECT_EQ(Status(), "");
  EXPECT_EQ(Ui().Edit1->text(), QStringLiteral("cats"));

  KeyInKeywords(Qt::Key_Return);
  ASSERT_EQ(Caption(), "Stop Search");
  ASSERT_TRUE(form_->SearchControl().IsSearching());
  KeyInKeywords(Qt::Key_Escape);
  EXPECT_FALSE(form_->SearchControl().IsSearching());
  ASSERT_TRUE(WaitUntil([&] { return Caption() == "Begin Search"; }));
  EXPECT_EQ(Status().rfind("Search Complete  -  Found ", 0), 0u) << Status();
  EXPECT_LT(form_->SearchControl().Table().RowCount(), 1000);
  EXPECT_EQ(Ui().Edit1->text(), QStringLiteral("cats"));

  // Escape after the search has ended does not start another one.
  const int requests = simulator_->RequestCount(TEngine::Altavista);
  KeyInKeywords(Qt::Key_Escape);
  QTest::qWait(50);
  EXPECT_EQ(Caption(), "Begin Search");
  EXPECT_EQ(simulator_->RequestCount(TEngine::Altavista), requests);
}

}  // namespace
}  // namespace quellion
