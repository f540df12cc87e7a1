// The search on screen, against the engine simulator on loopback: captions, status
// texts, cursors and gauge from start to stop to the end of the search.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "app/MainForm.h"
#include "app/results/GaugeStatusBar.h"
#include "app/results/ResultsGrid.h"
#include "app/results/ResultsModel.h"
#include "app/results/ResultsPanel.h"
#include "search/SearchControl.h"
#include "tests/app/AppTestSupport.h"
#include "tests/support/FakeShell.h"
#include "tools/engine-sim/EngineSimulator.h"
#include "ui_MainForm.h"

namespace quellion {
namespace {

using test::TFakeShell;
using test::TickEngines;
using test::TSandboxSettings;
using test::WaitUntil;
using tools::TEngineSimulator;
using tools::TSimConfig;

constexpr std::array<bool, kEngineCount> kOnlyAltavista = {true, false, false, false, false};
constexpr std::array<bool, kEngineCount> kAllFive = {true, true, true, true, true};
constexpr std::array<bool, kEngineCount> kNone = {false, false, false, false, false};

TSimConfig SimConfig(int total, int delayMs) {
  TSimConfig config;
  for (auto& engine : config) {
    engine.Total = total;
    engine.HitsPerPage = 10;
    engine.DelayMs = delayMs;
  }
  return config;
}

class MainFormSearch : public ::testing::Test {
 protected:
  // The simulator must be up before the window reads the engines' hosts.
  void Open(const TSimConfig& config) {
    simulator_ = std::make_unique<TEngineSimulator>(config);
    simulator_->Start();
    settings_.SetEngineHosts(simulator_->Hosts());
    form_ = std::make_unique<TMainForm>();
    form_->show();
  }
  Ui::MainForm& Ui() { return form_->Controls(); }
  std::string Caption() { return Ui().SearchButton->text().toStdString(); }
  std::string Status() { return form_->StatusBar()->statusText().toStdString(); }
  TResultTable& Table() { return form_->SearchControl().Table(); }
  bool Idle() { return Caption() == TMainForm::kBeginSearch; }
  void PressEnterInKeywords() { QTest::keyClick(Ui().Edit1, Qt::Key_Return); }

  TSandboxSettings settings_;
  std::unique_ptr<TEngineSimulator> simulator_;
  std::unique_ptr<TMainForm> form_;
};

TEST_F(MainFormSearch, BlankEnterDoesNothing) {
  Open(SimConfig(20, 0));
  TickEngines(*form_, kAllFive);
  for (const char* blank : {"", "   ", " \t  "}) {
    Ui().Edit1->setText(QString::fromLatin1(blank));
    PressEnterInKeywords();
    QTest::qWait(50);
    EXPECT_EQ(Caption(), "Begin Search");
    EXPECT_EQ(Status(), "");
    EXPECT_FALSE(Table().IsOpen());
    EXPECT_FALSE(form_->StatusBar()->gaugeEnabled());
    EXPECT_FALSE(form_->SearchControl().IsSearching());
  }
  for (TEngine engine : kAllEngines)
    EXPECT_EQ(simulator_->RequestCount(engine), 0);
}

TEST_F(MainFormSearch, NoEngineTickedEndsAtOnceWithZeroSites) {
  Open(SimConfig(20, 0));
  TickEngines(*form_, kNone);
  Ui().Edit1->setText(QStringLiteral("cats"));
  Ui().SearchButton->click();
  EXPECT_EQ(Status(), "Search Complete  -  Found 0 sites");
  EXPECT_EQ(Caption(), "Begin Search");
  EXPECT_FALSE(form_->StatusBar()->gaugeEnabled());
  EXPECT_TRUE(Table().IsOpen());
  EXPECT_EQ(Table().RowCount(), 0);
  EXPECT_EQ(form_->Panel4()->cursor().shape(), Qt::ArrowCursor);
}

TEST_F(MainFormSearch, StartStopAndComplete) {
  // Slow pages, so the search is still running when it is stopped.
  Open(SimConfig(1000, 300));
  TickEngines(*form_, kOnlyAltavista);
  Ui().SpinEdit1->setValue(1000);
  Ui().Edit1->setText(QStringLiteral("  cats and dogs "));
  PressEnterInKeywords();

  // Searching look, at once.
  EXPECT_EQ(Caption(), "Stop Search");
  EXPECT_EQ(Status(), "Searching  -  Found 0 sites");
  EXPECT_TRUE(form_->StatusBar()->gaugeEnabled());
  EXPECT_EQ(form_->Panel4()->cursor().shape(), Qt::BusyCursor);
  EXPECT_EQ(form_->Panel4()->Grid()->cursor().shape(), Qt::BusyCursor);
  EXPECT_TRUE(form_->SearchControl().IsSearching());

  // Some hits arrive and are counted in the status bar.
  ASSERT_TRUE(WaitUntil([&] { return Table().RowCount() >= 10; }));
  ASSERT_TRUE(WaitUntil([&] {
    return Status().rfind("Searching  -  Found ", 0) == 0 &&
           Status() != "Searching  -  Found 0 sites";
  }));

  // Enter again stops: the flag drops, the caption stays until the task has ended.
  PressEnterInKeywords();
  EXPECT_FALSE(form_->SearchControl().IsSearching());
  EXPECT_EQ(Caption(), "Stop Search");
  // A second click while stopping changes nothing either.
  Ui().SearchButton->click();
  EXPECT_EQ(Caption(), "Stop Search");

  ASSERT_TRUE(WaitUntil([&] { return Idle(); }));
  QTest::qWait(50);  // nothing still on its way may overwrite the final text
  EXPECT_EQ(Status(), "Search Complete  -  Found " + std::to_string(Table().RowCount()) + " sites");
  EXPECT_LT(Table().RowCount(), 1000);
  EXPECT_FALSE(form_->StatusBar()->gaugeEnabled());
  EXPECT_EQ(form_->Panel4()->cursor().shape(), Qt::ArrowCursor);
  EXPECT_EQ(form_->Panel4()->Grid()->cursor().shape(), Qt::ArrowCursor);
  // The keywords went out trimmed.
  const auto requests = simulator_->Requests(TEngine::Altavista);
  ASSERT_FALSE(requests.empty());
  EXPECT_NE(requests.front().find("cats"), std::string::npos);
}

TEST_F(MainFormSearch, FiveEnginesFillTheGridWhileTheWindowStaysResponsive) {
  Open(SimConfig(40, 20));
  TickEngines(*form_, kAllFive);
  Ui().SpinEdit1->setValue(1000);
  Ui().Edit1->setText(QStringLiteral("metasearch"));

  // A GUI-thread timer measures how long the event loop is ever kept from running.
  QElapsedTimer sinceTick;
  qint64 longestGapMs = 0;
  QTimer heartbeat;
  heartbeat.setInterval(10);
  QObject::connect(&heartbeat, &QTimer::timeout,
                   [&] { longestGapMs = std::max(longestGapMs, sinceTick.restart()); });
  int rowsSeenWhileSearching = 0;
  auto* model = form_->Panel4()->Model();
  QObject::connect(model, &TResultsModel::RowsChanged, [&](int rows) {
    if (!Idle())
      rowsSeenWhileSearching = std::max(rowsSeenWhileSearching, rows);
  });
  sinceTick.start();
  heartbeat.start();

  Ui().SearchButton->click();
  ASSERT_TRUE(WaitUntil([&] { return Idle(); }, 30000));
  heartbeat.stop();

  EXPECT_EQ(Table().RowCount(), 5 * 40);
  EXPECT_EQ(Status(), "Search Complete  -  Found 200 sites");
  // Rows reached the grid while the search ran, not only at its end.
  EXPECT_GT(rowsSeenWhileSearching, 0);
  WaitUntil([&] { return model->rowCount() == 200; }, 5000);
  EXPECT_EQ(model->rowCount(), 200);
  // Generous: the loop was never blocked for long.
  EXPECT_LT(longestGapMs, 2000);
  for (TEngine engine : kAllEngines)
    EXPECT_GE(simulator_->RequestCount(engine), 4);
}

TEST_F(MainFormSearch, MaxSitesStopsTheSearch) {
  Open(SimConfig(100, 0));
  TickEngines(*form_, kAllFive);
  Ui().SpinEdit1->setValue(30);
  Ui().Edit1->setText(QStringLiteral("limits"));
  Ui().SearchButton->click();
  ASSERT_TRUE(WaitUntil([&] { return Idle(); }));
  EXPECT_EQ(Table().RowCount(), 30);
  EXPECT_EQ(Status(), "Search Complete  -  Found 30 sites");
}

TEST_F(MainFormSearch, DoubleClickedHitOpensItsAddressAndIsTicked) {
  Open(SimConfig(10, 0));
  TFakeShell shell;
  form_->SetShell(&shell);
  TickEngines(*form_, kOnlyAltavista);
  Ui().Edit1->setText(QStringLiteral("open me"));
  Ui().SearchButton->click();
  ASSERT_TRUE(WaitUntil([&] { return Idle(); }));
  ASSERT_GT(Table().RowCount(), 2);
  TResultsGrid* grid = form_->Panel4()->Grid();
  form_->Panel4()->Model()->SetCurrentRow(2);
  grid->URLListBoxDblClick();
  ASSERT_EQ(shell.opened.size(), 1u);
  EXPECT_EQ(shell.opened[0], "http://" + Table().Row(2)->URL);
  EXPECT_EQ(Table().Row(2)->Checked, std::optional<bool>(true));
  EXPECT_EQ(Table().Row(2)->Color, TResultTable::kVisitedColor);
}

// Without a browser the row stays as it was and the status bar says why.
TEST_F(MainFormSearch, AHitThatCannotBeOpenedStaysUnvisitedAndTheStatusSaysSo) {
  Open(SimConfig(10, 0));
  TFakeShell shell;
  shell.openSucceeds = false;
  form_->SetShell(&shell);
  TickEngines(*form_, kOnlyAltavista);
  Ui().Edit1->setText(QStringLiteral("no browser"));
  Ui().SearchButton->click();
  ASSERT_TRUE(WaitUntil([&] { return Idle(); }));
  ASSERT_GT(Table().RowCount(), 2);
  form_->Panel4()->Model()->SetCurrentRow(2);
  const TResultRecord before = *Table().Row(2);
  form_->Panel4()->Grid()->URLListBoxDblClick();
  ASSERT_EQ(shell.opened.size(), 1u);
  EXPECT_EQ(Table().Row(2)->Checked, before.Checked);
  EXPECT_EQ(Table().Row(2)->Color, before.Color);
  EXPECT_EQ(Status(),
            "Could not open http://" + Table().Row(2)->URL + ": no web browser could be started");
}

TEST_F(MainFormSearch, ClosingWhileSearchingClearsTheFlag) {
  Open(SimConfig(1000, 200));
  TickEngines(*form_, kAllFive);
  Ui().SpinEdit1->setValue(1000);
  Ui().Edit1->setText(QStringLiteral("closing"));
  Ui().SearchButton->click();
  ASSERT_TRUE(form_->SearchControl().IsSearching());
  form_->close();
  EXPECT_FALSE(form_->SearchControl().IsSearching());
  // Destroying the window with tasks still running neither hangs nor crashes.
  form_.reset();
}

}  // namespace
}  // namespace quellion
