#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QThread>
#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "app/results/ResultsModel.h"
#include "search/ResultTable.h"

namespace quellion {
namespace {

bool ProcessEventsUntil(const std::function<bool()>& pred, int timeoutMs = 5000) {
  QElapsedTimer clock;
  clock.start();
  while (!pred()) {
    if (clock.elapsed() > timeoutMs)
      return pred();
    QApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  return true;
}

TEST(ResultsModel, LearnsOfRowsAppendedOnAnotherThreadOnTheGuiThread) {
  TResultTable table;
  table.Empty();
  int earlierHandlerCalls = 0;
  table.OnRowsChanged = [&](int) { ++earlierHandlerCalls; };
  TResultsModel model;
  model.SetTable(&table);
  bool announcedOffGuiThread = false;
  int lastAnnounced = -1;
  QObject::connect(&model, &TResultsModel::RowsChanged, [&](int rows) {
    announcedOffGuiThread |= QThread::currentThread() != QApplication::instance()->thread();
    lastAnnounced = rows;
  });

  std::thread engine([&] {
    for (int i = 0; i < 50; ++i)
      table.AppendUnique("t" + std::to_string(i), "u" + std::to_string(i), "d", "Google", 1000);
  });
  engine.join();
  EXPECT_EQ(0, model.rowCount());  // nothing reaches the view off the GUI thread
  ASSERT_TRUE(ProcessEventsUntil([&] { return model.rowCount() == 50; }));
  EXPECT_EQ(50, lastAnnounced);
  EXPECT_FALSE(announcedOffGuiThread);
  EXPECT_EQ(50, earlierHandlerCalls);  // a handler set before is still called
  EXPECT_EQ(QStringLiteral("t49"), model.index(49, TResultsModel::kTitleColumn).data());
  EXPECT_EQ(0, model.CurrentRow());
}

TEST(ResultsModel, EmptyingAndRefillingToTheSameCountStillResetsTheView) {
  TResultTable table;
  table.Empty();
  table.AppendUnique("old", "old.example", "", "Excite", 10);
  TResultsModel model;
  model.SetTable(&table);
  int resets = 0;
  QObject::connect(&model, &QAbstractItemModel::modelReset, [&] { ++resets; });
  table.Empty();
  table.AppendUnique("new", "new.example", "", "Google", 10);
  QApplication::processEvents();
  EXPECT_EQ(1, resets);
  EXPECT_EQ(1, model.rowCount());
  EXPECT_EQ(QStringLiteral("new"), model.index(0, TResultsModel::kTitleColumn).data());
}

TEST(ResultsModel, TitlesAreDecodedForDisplay) {
  TResultTable table;
  table.Empty();
  table.AppendUnique("caf\xe9", "a", "", "Google", 10);
  table.AppendUnique("caf\xc3\xa9", "b", "", "Google", 10);
  TResultsModel model;
  model.SetTable(&table);
  EXPECT_EQ(QStringLiteral("caf\u00e9"), model.index(0, 1).data());
  EXPECT_EQ(QStringLiteral("caf\u00e9"), model.index(1, 1).data());
  EXPECT_EQ(Qt::Unchecked, model.index(0, 0).data(Qt::CheckStateRole).toInt());
  EXPECT_FALSE(model.flags(model.index(0, 1)) & Qt::ItemIsEditable);
}

TEST(ResultsModel, AppendsRacingTheModelsDestructionAreDropped) {
  TResultTable table;
  table.Empty();
  std::atomic<bool> stop{false};
  auto model = std::make_unique<TResultsModel>();
  model->SetTable(&table);
  std::thread engine([&] {
    for (int i = 0; !stop && i < 100000; ++i)
      table.AppendUnique("t", "u" + std::to_string(i), "d", "Google", 1000000);
  });
  ASSERT_TRUE(ProcessEventsUntil([&] { return model->rowCount() > 10; }))
      << "the view never learnt of the appends";
  const int atDestruction = table.RowCount();
  model.reset();
  // Appends go on after the destruction, and their forwards (and those posted before
  // it) reach the event loop: they must be dropped, not land on the freed model.
  const bool raced = ProcessEventsUntil([&] { return table.RowCount() > atDestruction + 10; });
  stop = true;
  engine.join();
  QApplication::processEvents();
  EXPECT_TRUE(raced) << "no append came after the destruction";
}

}  // namespace
}  // namespace quellion
