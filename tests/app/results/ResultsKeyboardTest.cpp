// The results grid from the keyboard and its row menu: moving the current row, ticking,
// opening and copying, with the full-information panel following.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>

#include "app/results/FullInfoPanel.h"
#include "app/results/ResultsGrid.h"
#include "app/results/ResultsModel.h"
#include "app/results/ResultsPanel.h"
#include "search/ResultTable.h"
#include "tests/support/FakeShell.h"

namespace quellion {
namespace {

constexpr int kRows = 40;
constexpr int kRow = TResultsGrid::kRowHeight;

std::string Url(int row) {
  return "www.r" + std::to_string(row) + ".example/";
}

class ResultsKeyboard : public ::testing::Test {
 protected:
  void SetUp() override {
    table.Empty();
    for (int i = 0; i < kRows; ++i)
      table.AppendUnique("Title " + std::to_string(i), Url(i), "about " + std::to_string(i),
                         "Google", 1000);
    // A title that is not UTF-8 (Windows-1252 e-acute).
    table.AppendUnique("caf\xe9", "www.cafe.example/", "", "Excite", 1000);
    panel.SetTable(&table);
    grid().SetShell(&shell);
    panel.resize(213, 300);
    panel.show();
    QApplication::processEvents();
    grid().setFocus();
  }
  void TearDown() override {
    if (grid().RowMenu()->isVisible())
      grid().RowMenu()->close();
  }

  TResultsGrid& grid() { return *panel.Grid(); }
  void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QKeyEvent press(QEvent::KeyPress, key, modifiers);
    QApplication::sendEvent(&grid(), &press);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers);
    QApplication::sendEvent(&grid(), &release);
  }
  bool Checked(int row) const { return table.Row(row)->Checked.value_or(false); }
  QAction* MenuAction(const char* name) {
    return grid().RowMenu()->findChild<QAction*>(QString::fromLatin1(name));
  }
  void RightClick(int row) {
    const QPoint pos(100, row * kRow + kRow / 2);
    QContextMenuEvent event(QContextMenuEvent::Mouse, pos, grid().viewport()->mapToGlobal(pos));
    QApplication::sendEvent(grid().viewport(), &event);
  }

  TResultTable table;
  TResultsPanel panel;
  test::TFakeShell shell;
};

TEST_F(ResultsKeyboard, KeysMoveTickOpenAndCopyTheCurrentRow) {
  // A defined engine's https row: copied and opened with its own scheme.
  table.AppendUnique("Secure", "https://www.secure.example/s", "", "Wikipedia", 1000);
  QApplication::processEvents();
  const int page = grid().viewport()->height() / kRow;
  ASSERT_GT(page, 2);
  const int cafe = kRows;
  const int last = kRows + 1;  // the https row
  const QString untouched = QStringLiteral("(clipboard untouched)");
  struct Case {
    const char* what;
    int start;
    int key;
    Qt::KeyboardModifiers modifiers;
    bool tickedBefore;
    int current;         // the current row afterwards
    bool tickedAfter;    // of the start row
    std::string opened;  // "" when nothing was opened
    QString clipboard;
  } cases[] = {
      {"Down", 0, Qt::Key_Down, Qt::NoModifier, false, 1, false, "", untouched},
      {"Up", 5, Qt::Key_Up, Qt::NoModifier, false, 4, false, "", untouched},
      {"Up at the top", 0, Qt::Key_Up, Qt::NoModifier, false, 0, false, "", untouched},
      {"Down at the end", last, Qt::Key_Down, Qt::NoModifier, false, last, false, "", untouched},
      {"Home", 20, Qt::Key_Home, Qt::NoModifier, false, 0, false, "", untouched},
      {"End", 3, Qt::Key_End, Qt::NoModifier, false, last, false, "", untouched},
      {"PageDown", 0, Qt::Key_PageDown, Qt::NoModifier, false, page, false, "", untouched},
      {"PageUp near the top", 2, Qt::Key_PageUp, Qt::NoModifier, false, 0, false, "", untouched},
      {"Space ticks", 2, Qt::Key_Space, Qt::NoModifier, false, 2, true, "", untouched},
      {"Space unticks", 2, Qt::Key_Space, Qt::NoModifier, true, 2, false, "", untouched},
      {"Enter opens and ticks", 3, Qt::Key_Return, Qt::NoModifier, false, 3, true,
       "http://" + Url(3), untouched},
      {"Enter keeps a ticked row ticked", 3, Qt::Key_Return, Qt::NoModifier, true, 3, true,
       "http://" + Url(3), untouched},
      {"keypad Enter", 6, Qt::Key_Enter, Qt::KeypadModifier, false, 6, true, "http://" + Url(6),
       untouched},
      {"Ctrl+C copies the address", 4, Qt::Key_C, Qt::ControlModifier, false, 4, false, "",
       QString::fromStdString("http://" + Url(4))},
      {"Ctrl+C decodes", cafe, Qt::Key_C, Qt::ControlModifier, false, cafe, false, "",
       QStringLiteral("http://www.cafe.example/")},
      {"Ctrl+C keeps https", last, Qt::Key_C, Qt::ControlModifier, false, last, false, "",
       QStringLiteral("https://www.secure.example/s")},
      {"Enter opens https as it is", last, Qt::Key_Return, Qt::NoModifier, false, last, true,
       "https://www.secure.example/s", untouched},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    for (int i = 0; i <= last; ++i)
      table.SetChecked(i, false);
    table.SetChecked(c.start, c.tickedBefore);
    panel.Model()->SetCurrentRow(c.start);
    shell.opened.clear();
    QApplication::clipboard()->setText(untouched);

    Key(c.key, c.modifiers);

    EXPECT_EQ(c.current, table.CurrentRow());
    EXPECT_EQ(c.current, grid().currentIndex().row());
    const std::string currentUrl = table.Row(c.current)->URL;
    EXPECT_EQ(QString::fromStdString(currentUrl), panel.FullInfo()->UrlText()->text());
    EXPECT_EQ(c.tickedAfter, Checked(c.start));
    if (c.opened.empty()) {
      EXPECT_TRUE(shell.opened.empty());
    } else {
      EXPECT_EQ(std::vector<std::string>{c.opened}, shell.opened);
      EXPECT_EQ(TResultTable::kVisitedColor, table.Row(c.start)->Color);
    }
    EXPECT_EQ(c.clipboard, QApplication::clipboard()->text());
  }
}

TEST_F(ResultsKeyboard, PageDownThenPageUpComesBack) {
  panel.Model()->SetCurrentRow(0);
  Key(Qt::Key_PageDown);
  Key(Qt::Key_PageDown);
  const int down = table.CurrentRow();
  EXPECT_GT(down, 2);
  Key(Qt::Key_PageUp);
  Key(Qt::Key_PageUp);
  EXPECT_EQ(0, table.CurrentRow());
}

TEST_F(ResultsKeyboard, KeysOnAnEmptyOrClosedTableDoNothing) {
  for (const bool closed : {false, true}) {
    SCOPED_TRACE(closed ? "closed" : "empty");
    if (closed)
      table.Close();
    else
      table.Empty();
    QApplication::processEvents();
    QApplication::clipboard()->setText(QStringLiteral("kept"));
    for (int key : {Qt::Key_Down, Qt::Key_End, Qt::Key_Space, Qt::Key_Return})
      Key(key);
    Key(Qt::Key_C, Qt::ControlModifier);
    RightClick(0);
    EXPECT_FALSE(grid().RowMenu()->isVisible());
    EXPECT_EQ(nullptr, grid().RowMenuFor(0));
    EXPECT_EQ(0, table.RowCount());
    EXPECT_EQ(-1, table.CurrentRow());
    EXPECT_TRUE(shell.opened.empty());
    EXPECT_EQ(QStringLiteral("kept"), QApplication::clipboard()->text());
  }
}

TEST_F(ResultsKeyboard, RowMenuActsOnTheRowItOpenedOn) {
  panel.Model()->SetCurrentRow(0);
  RightClick(7);
  ASSERT_TRUE(grid().RowMenu()->isVisible());
  EXPECT_EQ(7, table.CurrentRow());
  EXPECT_EQ(QString::fromStdString(Url(7)), panel.FullInfo()->UrlText()->text());
  QStringList names;
  for (QAction* action : grid().RowMenu()->actions())
    names << action->objectName() + QLatin1Char('=') + action->text();
  EXPECT_EQ(QStringList({"RowOpen=&Open", "RowCopyAddress=Copy &Address",
                         "RowCopyTitle=Copy &Title", "RowTick=T&ick"}),
            names);

  MenuAction("RowTick")->trigger();
  EXPECT_TRUE(Checked(7));
  grid().RowMenu()->close();
  RightClick(7);
  EXPECT_EQ(QStringLiteral("Unt&ick"), MenuAction("RowTick")->text());
  MenuAction("RowTick")->trigger();
  EXPECT_FALSE(Checked(7));

  MenuAction("RowCopyAddress")->trigger();
  EXPECT_EQ(QString::fromStdString("http://" + Url(7)), QApplication::clipboard()->text());
  MenuAction("RowCopyTitle")->trigger();
  EXPECT_EQ(QStringLiteral("Title 7"), QApplication::clipboard()->text());
  MenuAction("RowOpen")->trigger();
  EXPECT_EQ(std::vector<std::string>{"http://" + Url(7)}, shell.opened);
  EXPECT_TRUE(Checked(7));
  EXPECT_EQ(TResultTable::kVisitedColor, table.Row(7)->Color);
  grid().RowMenu()->close();

  // Below the last row: no menu, the current row stays.
  table.Empty();
  table.AppendUnique("A", "a.example/", "", "Google", 10);
  table.AppendUnique("B", "b.example/", "", "Google", 10);
  QApplication::processEvents();
  panel.Model()->SetCurrentRow(1);
  RightClick(5);
  EXPECT_FALSE(grid().RowMenu()->isVisible());
  EXPECT_EQ(1, table.CurrentRow());
}

TEST_F(ResultsKeyboard, MenuKeyOpensTheMenuOfTheCurrentRowAndCopiesADecodedTitle) {
  panel.Model()->SetCurrentRow(kRows);
  QContextMenuEvent event(QContextMenuEvent::Keyboard, QPoint(0, 0), QPoint(0, 0));
  QApplication::sendEvent(&grid(), &event);
  ASSERT_TRUE(grid().RowMenu()->isVisible());
  EXPECT_EQ(kRows, table.CurrentRow());
  MenuAction("RowCopyTitle")->trigger();
  EXPECT_EQ(QStringLiteral("caf\u00e9"), QApplication::clipboard()->text());
}

}  // namespace
}  // namespace quellion
