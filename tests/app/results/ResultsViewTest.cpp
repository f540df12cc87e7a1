#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QStyle>
#include <QTextCursor>
#include <QToolTip>
#include <cstdlib>

#include "app/results/FullInfoPanel.h"
#include "app/results/HintDelays.h"
#include "app/results/ResultsGrid.h"
#include "app/results/ResultsModel.h"
#include "app/results/ResultsPanel.h"
#include "search/ResultTable.h"
#include "tests/support/FakeShell.h"

namespace quellion {
namespace {

constexpr int kRow = TResultsGrid::kRowHeight;

// Panel4 with three hits, the hint boxes as two flags and a recording shell.
class ResultsView : public ::testing::Test {
 protected:
  void SetUp() override {
    table.Empty();
    table.AppendUnique("First", "www.one.example/a", "one's description", "Altavista", 100);
    table.AppendUnique("Second", "www.two.example/b", "two's description", "Google", 100);
    table.AppendUnique("Third <b>", "www.three.example/c", "<b>bold?</b>", "Excite", 100);
    panel.SetTable(&table);
    grid().SetShell(&shell);
    grid().SetHintSettings([this] { return descriptionHint; }, [this] { return urlHint; });
    panel.resize(213, 300);
    panel.show();
    QApplication::processEvents();
  }

  TResultsGrid& grid() { return *panel.Grid(); }

  QPoint Cell(int row, int column) const {
    return QPoint(column == TResultsModel::kCheckedColumn ? 10 : 100, row * kRow + kRow / 2);
  }

  void Send(QEvent::Type type, QPoint pos, Qt::MouseButton button = Qt::NoButton) {
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease || type == QEvent::MouseMove
                                      ? Qt::MouseButtons()
                                      : Qt::MouseButtons(button);
    QMouseEvent event(type, pos, grid().viewport()->mapToGlobal(pos), button, held, Qt::NoModifier);
    QApplication::sendEvent(grid().viewport(), &event);
  }
  void MoveTo(QPoint pos) { Send(QEvent::MouseMove, pos); }
  void Click(QPoint pos) {
    Send(QEvent::MouseButtonPress, pos, Qt::LeftButton);
    Send(QEvent::MouseButtonRelease, pos, Qt::LeftButton);
  }
  void DoubleClick(QPoint pos) {
    Click(pos);
    Send(QEvent::MouseButtonDblClick, pos, Qt::LeftButton);
    Send(QEvent::MouseButtonRelease, pos, Qt::LeftButton);
  }
  bool Checked(int row) const { return table.Row(row)->Checked.value_or(false); }

  TResultTable table;
  TResultsPanel panel;
  test::TFakeShell shell;
  bool descriptionHint = true;
  bool urlHint = true;
};

TEST_F(ResultsView, HoverMakesTheRowCurrentAndBuildsTheHintFromTheTickedBoxes) {
  struct Case {
    bool description, url;
    QString hint;
  } cases[] = {
      {true, true, QStringLiteral("two's description\r\rwww.two.example/b")},
      {false, true, QStringLiteral("www.two.example/b")},
      {true, false, QStringLiteral("two's description")},
      {false, false, QString()},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.hint.toStdString());
    descriptionHint = c.description;
    urlHint = c.url;
    MoveTo(Cell(0, 1));  // back to the first row, which is current already
    panel.Model()->SetCurrentRow(0);
    MoveTo(Cell(1, 1));
    EXPECT_EQ(1, table.CurrentRow());
    EXPECT_EQ(c.hint, grid().HintText());
    // The grid and the full-information panel follow even without a hint.
    EXPECT_EQ(1, grid().currentIndex().row());
    EXPECT_TRUE(grid().selectionModel()->isRowSelected(1, QModelIndex()));
    EXPECT_EQ(QStringLiteral("www.two.example/b"), panel.FullInfo()->UrlText()->text());
    EXPECT_EQ(QStringLiteral("Google"), panel.FullInfo()->SearchEngineText()->text());
    EXPECT_EQ(!c.hint.isEmpty(), grid().HintShowTimer().isActive());
  }
}

TEST_F(ResultsView, MovingWithinTheCurrentRowOrOverNoRowKeepsTheHint) {
  MoveTo(Cell(1, 1));
  const QString built = grid().HintText();
  ASSERT_FALSE(built.isEmpty());
  grid().ShowHintNow();
  ASSERT_TRUE(grid().IsHintShowing());

  // Were the hint rebuilt, it would now be empty and the showing one hidden.
  descriptionHint = urlHint = false;
  MoveTo(Cell(1, 1) + QPoint(-60, 5));
  MoveTo(QPoint(100, 3 * kRow + 40));  // below the last row
  EXPECT_EQ(built, grid().HintText());
  EXPECT_TRUE(grid().IsHintShowing());
  EXPECT_EQ(1, table.CurrentRow());
}

TEST_F(ResultsView, AClosedTableGivesAnEmptyHintAndMovesNothing) {
  MoveTo(Cell(1, 1));
  ASSERT_FALSE(grid().HintText().isEmpty());
  table.Close();
  QApplication::processEvents();
  MoveTo(Cell(2, 1));
  EXPECT_TRUE(grid().HintText().isEmpty());
  EXPECT_EQ(-1, table.CurrentRow());
  EXPECT_EQ(0, panel.Model()->rowCount());
}

TEST_F(ResultsView, HintAppearsAfterItsPauseHidesAfterFiveSecondsAndIsNeverEmpty) {
  MoveTo(Cell(2, 1));
  EXPECT_EQ(TResultsGrid::kHintPauseMs, grid().HintShowTimer().interval());
  EXPECT_TRUE(grid().HintShowTimer().isActive());
  EXPECT_FALSE(grid().IsHintShowing());

  grid().ShowHintNow();  // what the 250 ms timer does
  EXPECT_TRUE(grid().IsHintShowing());
  EXPECT_TRUE(QToolTip::isVisible());
  EXPECT_EQ(TResultsGrid::kHintHidePauseMs, grid().HintHideTimer().interval());
  EXPECT_TRUE(grid().HintHideTimer().isActive());
  // A page's markup is shown as text, not rendered.
  EXPECT_TRUE(QToolTip::text().contains(QStringLiteral("&lt;b&gt;bold?&lt;/b&gt;")))
      << QToolTip::text().toStdString();

  // Moving to another row hides the showing hint and starts the pause again.
  MoveTo(Cell(1, 1));
  EXPECT_FALSE(grid().IsHintShowing());
  EXPECT_TRUE(grid().HintShowTimer().isActive());

  grid().HideHint();  // what the 5000 ms timer does
  EXPECT_FALSE(grid().IsHintShowing());

  descriptionHint = urlHint = false;
  MoveTo(Cell(0, 1));
  EXPECT_FALSE(grid().HintShowTimer().isActive());
  grid().ShowHintNow();
  EXPECT_FALSE(grid().IsHintShowing());
}

// The grid's first hint sets the delays for every hint of the program: another
// widget's tool tip then waits 250 ms and stays 5000 ms.
TEST_F(ResultsView, TheHintDelaysHoldForEveryHintOnceSet) {
  QLabel other(QStringLiteral("elsewhere"));
  other.setToolTip(QStringLiteral("another hint"));
  other.show();
  MoveTo(Cell(2, 1));
  ASSERT_TRUE(ProgramHintDelaysSet());
  EXPECT_EQ(TResultsGrid::kHintPauseMs,
            QApplication::style()->styleHint(QStyle::SH_ToolTip_WakeUpDelay));
  QHelpEvent help(QEvent::ToolTip, QPoint(2, 2), other.mapToGlobal(QPoint(2, 2)));
  QApplication::sendEvent(&other, &help);
  EXPECT_EQ(TResultsGrid::kHintHidePauseMs, other.toolTipDuration());
  EXPECT_TRUE(QToolTip::isVisible());
  QToolTip::hideText();
}

TEST_F(ResultsView, CheckColumnClicksToggleTitleClicksDoNot) {
  Click(Cell(1, 0));
  EXPECT_EQ(1, table.CurrentRow());
  EXPECT_TRUE(Checked(1));  // empty counts as unticked: the first click ticks
  Click(Cell(1, 0));
  EXPECT_FALSE(Checked(1));
  Click(Cell(1, 0));
  Click(Cell(1, 1));
  EXPECT_TRUE(Checked(1));
  EXPECT_FALSE(table.Row(0)->Checked.has_value());
  EXPECT_EQ(Qt::Checked, panel.Model()->index(1, 0).data(Qt::CheckStateRole).toInt());
}

TEST_F(ResultsView, TheSelectedRowIsAlwaysTheTablesCurrentRow) {
  Click(Cell(1, 1));
  EXPECT_EQ(1, table.CurrentRow());
  Click(QPoint(100, 3 * kRow + 30));  // below the last row
  QMouseEvent ctrlPress(QEvent::MouseButtonPress, Cell(1, 1),
                        grid().viewport()->mapToGlobal(Cell(1, 1)), Qt::LeftButton, Qt::LeftButton,
                        Qt::ControlModifier);
  QApplication::sendEvent(grid().viewport(), &ctrlPress);
  Send(QEvent::MouseButtonRelease, Cell(1, 1), Qt::LeftButton);
  EXPECT_EQ(1, table.CurrentRow());
  EXPECT_EQ(QModelIndexList{grid().model()->index(1, 0)}, grid().selectionModel()->selectedRows(0));

  QKeyEvent down(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
  QApplication::sendEvent(&grid(), &down);
  EXPECT_EQ(2, table.CurrentRow());
  EXPECT_EQ(QStringLiteral("www.three.example/c"), panel.FullInfo()->UrlText()->text());
}

TEST_F(ResultsView, ClicksOnAnEmptyOrClosedTableDoNothing) {
  for (const bool closed : {false, true}) {
    if (closed)
      table.Close();
    else
      table.Empty();
    QApplication::processEvents();
    Click(Cell(0, 0));
    grid().ExDBGrid1CellClick(TResultsModel::kCheckedColumn);
    DoubleClick(Cell(0, 1));
    grid().URLListBoxDblClick();
    EXPECT_EQ(0, table.RowCount());
    EXPECT_TRUE(shell.opened.empty());
  }
}

TEST_F(ResultsView, DoubleClickOpensTheAddressAndMarksTheRow) {
  MoveTo(Cell(2, 1));
  DoubleClick(Cell(2, 1));
  ASSERT_EQ(1u, shell.opened.size());
  EXPECT_EQ("http://www.three.example/c", shell.opened[0]);
  EXPECT_EQ(TResultTable::kVisitedColor, table.Row(2)->Color);
  EXPECT_TRUE(Checked(2));

  // Again, also on the check column (whose first click unticks): opened, still ticked.
  DoubleClick(Cell(2, 0));
  ASSERT_EQ(2u, shell.opened.size());
  EXPECT_EQ("http://www.three.example/c", shell.opened[1]);
  EXPECT_TRUE(Checked(2));
  EXPECT_EQ(0, table.Row(1)->Color);

  // A defined engine's https address is opened as stored, not behind "http://".
  table.AppendUnique("Secure", "https://www.four.example/d", "", "Wikipedia", 100);
  QApplication::processEvents();
  MoveTo(Cell(3, 1));
  DoubleClick(Cell(3, 1));
  ASSERT_EQ(3u, shell.opened.size());
  EXPECT_EQ("https://www.four.example/d", shell.opened[2]);
}

TEST_F(ResultsView, TitleColumnTakesTheWidthLessTheCheckColumnAnd14) {
  panel.resize(200, 300);
  QApplication::processEvents();
  EXPECT_EQ(200, grid().width());
  EXPECT_EQ(20, grid().columnWidth(0));
  EXPECT_EQ(166, grid().columnWidth(1));
  panel.resize(230, 300);
  QApplication::processEvents();
  EXPECT_EQ(20, grid().columnWidth(0));
  EXPECT_EQ(196, grid().columnWidth(1));
  EXPECT_EQ(kRow, grid().rowHeight(0));
  // A new search resets the model; the widths stay.
  table.Empty();
  QApplication::processEvents();
  EXPECT_EQ(196, grid().columnWidth(1));
}

TEST_F(ResultsView, FullInfoShowsAndHidesThePanelAndTheGridTakesTheHeight) {
  panel.FullInfoCheckBoxClick(false);
  panel.layout()->activate();
  EXPECT_FALSE(panel.FullInfo()->isVisible());
  EXPECT_EQ(300, grid().height());
  panel.FullInfoCheckBoxClick(true);
  panel.layout()->activate();
  EXPECT_TRUE(panel.FullInfo()->isVisible());
  EXPECT_EQ(TFullInfoPanel::kHeight, panel.FullInfo()->height());
  EXPECT_EQ(300 - TFullInfoPanel::kHeight, grid().height());
  EXPECT_EQ(QRect(80, 40, 213 - 80 - TFullInfoPanel::kMemoRightMargin, 41),
            panel.FullInfo()->DescriptionMemo()->geometry());
}

TEST_F(ResultsView, TypedDescriptionIsStoredInTheCurrentRow) {
  MoveTo(Cell(1, 1));
  QPlainTextEdit* memo = panel.FullInfo()->DescriptionMemo();
  ASSERT_EQ(QStringLiteral("two's description"), memo->toPlainText());
  EXPECT_FALSE(memo->isReadOnly());
  QTextCursor cursor = memo->textCursor();
  cursor.movePosition(QTextCursor::End);
  cursor.insertText(QStringLiteral(", caf\u00e9"));
  EXPECT_EQ("two's description, caf\xe9", table.Row(1)->Description);

  // Past 250 bytes the rest is neither stored nor kept in the box.
  memo->selectAll();
  memo->textCursor().insertText(QString(300, QLatin1Char('x')));
  EXPECT_EQ(std::string(250, 'x'), table.Row(1)->Description);
  EXPECT_EQ(250, memo->toPlainText().size());
  EXPECT_EQ("one's description", table.Row(0)->Description);

  // Another row shown: its own description, the edit stays with row 1.
  MoveTo(Cell(0, 1));
  EXPECT_EQ(QStringLiteral("one's description"), memo->toPlainText());
}

TEST_F(ResultsView, NewSearchEmptiesTheGridAndThePanel) {
  MoveTo(Cell(2, 1));
  table.Empty();
  QApplication::processEvents();
  EXPECT_EQ(0, panel.Model()->rowCount());
  EXPECT_TRUE(panel.FullInfo()->UrlText()->text().isEmpty());
  EXPECT_TRUE(panel.FullInfo()->DescriptionMemo()->isReadOnly());
  table.AppendUnique("New", "www.new.example/", "fresh", "Google", 10);
  QApplication::processEvents();
  EXPECT_EQ(1, panel.Model()->rowCount());
  EXPECT_EQ(QStringLiteral("www.new.example/"), panel.FullInfo()->UrlText()->text());
  EXPECT_EQ(0, grid().currentIndex().row());
}

// A row two or more engines found: a badge at the right end of its title cell, the
// engines named in the hint and the full-information panel, and a join while the row
// is shown updates them.
TEST_F(ResultsView, RowsSeveralEnginesFoundCarryABadgeAndNameTheirEngines) {
  auto titleEnd = [&](int row) {
    const QImage image = grid().viewport()->grab().toImage();
    const QRect cell = grid().visualRect(grid().model()->index(row, TResultsModel::kTitleColumn));
    // The last 16 pixels of the cell, where the title of these short rows never reaches.
    int inked = 0;
    const QColor base = image.pixelColor(cell.right() - 30, cell.center().y());
    for (int x = cell.right() - 16; x <= cell.right(); ++x)
      for (int y = cell.top(); y <= cell.bottom(); ++y) {
        // The style may shade a selection slightly: only a clear difference counts.
        const QColor c = image.pixelColor(x, y);
        inked += std::abs(c.red() - base.red()) + std::abs(c.green() - base.green()) +
                     std::abs(c.blue() - base.blue()) >
                 48;
      }
    return inked;
  };
  EXPECT_EQ(0, titleEnd(0));
  EXPECT_EQ(0, titleEnd(2));

  MoveTo(Cell(1, 1));  // row 1 shown in the panel
  EXPECT_EQ(QStringLiteral("Google"), panel.FullInfo()->SearchEngineText()->text());
  EXPECT_EQ(TAddOutcome::Joined,
            table.AppendOrJoin("x", "https://two.example/b", "d", "Mojeek", 3, 100));
  EXPECT_EQ(TAddOutcome::Joined,
            table.AppendOrJoin("x", "WWW.TWO.example/b#top", "d", "Brave", 1, 100));
  QApplication::processEvents();
  EXPECT_EQ(QStringLiteral("Google, Mojeek, Brave"), panel.FullInfo()->SearchEngineText()->text());
  EXPECT_GT(titleEnd(1), 0);
  EXPECT_EQ(0, titleEnd(0));
  // Selected, the badge is drawn too.
  EXPECT_EQ(1, grid().currentIndex().row());

  // The hint names them after what the boxes ask for; a one-engine row's hint is as it was.
  MoveTo(Cell(0, 1));
  EXPECT_EQ(QStringLiteral("one's description\r\rwww.one.example/a"), grid().HintText());
  MoveTo(Cell(1, 1));
  EXPECT_EQ(QStringLiteral("two's description\r\rwww.two.example/b\r\rGoogle, Mojeek, Brave"),
            grid().HintText());
  descriptionHint = urlHint = false;
  MoveTo(Cell(0, 1));
  MoveTo(Cell(1, 1));
  EXPECT_TRUE(grid().HintText().isEmpty());
}

TEST(AddressToUrl, KeepsEveryByteAndMendsSlips) {
  struct Case {
    std::string address;
    QByteArray encoded;
  } cases[] = {
      {"http://www.example.org/a?b=c&d=e", "http://www.example.org/a?b=c&d=e"},
      {"http://www.example.org/x y", "http://www.example.org/x%20y"},
      {"http://www.example.org/caf\xe9", "http://www.example.org/caf%E9"},
      {"http://www.example.org/100%", "http://www.example.org/100%25"},
      {"http://www.example.org/%7Euser", "http://www.example.org/~user"},  // same address
  };
  for (const auto& c : cases)
    EXPECT_EQ(c.encoded, AddressToUrl(c.address).toEncoded()) << c.address;
}

}  // namespace
}  // namespace quellion
