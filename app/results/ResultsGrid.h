#pragma once

#include <QTableView>
#include <QTimer>
#include <functional>

class QAction;
class QMenu;

namespace quellion {

class TDesktopShell;
class TResultsModel;

// ExDBGrid1: the results grid. Two columns (a flat check box, the title; a row several
// engines found shows their count in a small badge at the title's right end), no header,
// grid lines, scroll bars or border, rows 17 high, whole-row navy selection, nothing
// editable in place. The selected row is the results table's current row; moving the
// mouse over a row makes it current and sets the row's hint.
//
// Keys: Up/Down/PageUp/PageDown/Home/End move the current row, Space ticks or unticks
// it, Enter opens it as a double-click does, Ctrl+C copies its address. A right click
// (or the menu key) on a row opens the row menu: Open, Copy Address, Copy Title,
// Tick/Untick.
//
// The handlers carry the main window's names and are wired to the grid's own events;
// they are public so that the window (and tests) can call them as the events would.
class TResultsGrid : public QTableView {
  Q_OBJECT

 public:
  static constexpr int kCheckedWidth = 20;
  static constexpr int kTitleMargin = 14;
  static constexpr int kRowHeight = 17;
  static constexpr int kHintPauseMs = 250;
  static constexpr int kHintHidePauseMs = 5000;

  explicit TResultsGrid(QWidget* parent = nullptr);
  ~TResultsGrid() override;

  // The model the grid shows (borrowed; it must outlive the grid's use of it).
  void SetResultsModel(TResultsModel* model);
  TResultsModel* ResultsModel() const { return model_; }

  // Where the hint settings come from ("Description Hint", "URL Hint"); an unset
  // provider reads as unticked.
  void SetHintSettings(std::function<bool()> descriptionHint, std::function<bool()> urlHint);
  // The shell that opens addresses (borrowed); nullptr: the desktop's own.
  void SetShell(TDesktopShell* shell) { shell_ = shell; }

  // Panel4Resize: the Title column takes the grid's width less the Checked column
  // and 14 pixels. Runs on every resize of the grid, which fills Panel4's width.
  void Panel4Resize();
  // ExDBGrid1CellClick: a click in the Checked column toggles the current row's tick
  // (empty counts as unticked); other columns and an empty table: nothing.
  void ExDBGrid1CellClick(int column);
  // URLListBoxMouseMove: position in grid coordinates. Over another row than the
  // current one, that row becomes current and the hint is rebuilt from its
  // description and/or address; a row several engines found adds their names.
  void URLListBoxMouseMove(Qt::KeyboardModifiers shift, const QPoint& pos);
  // URLListBoxDblClick: opens the current row's whole address (FullAddress) and marks the row
  // visited (Color 16776960, ticked). Without a current row: nothing. When the shell
  // cannot open it, the row stays as it was and openFailed is emitted.
  void URLListBoxDblClick();

  // Toggles the current row's tick (Space, "Tick"/"Untick"; the Checked column's
  // click). Without a current row: nothing.
  void ToggleCurrentTick();
  // Put the current row's whole address (as opened) or title on the
  // clipboard, decoded for display. Without a current row: nothing.
  void CopyCurrentAddress();
  void CopyCurrentTitle();
  // The row menu; RowMenuFor prepares it for a row (which becomes current) and returns
  // nullptr when there is no such row. Tests trigger its actions directly.
  QMenu* RowMenu() const { return rowMenu_; }
  QMenu* RowMenuFor(int row);

  // The hint as built by the mouse-move handler (CR CR between description and URL).
  QString HintText() const { return hintText_; }
  // Hint timing: shown kHintPauseMs after it was set (or the mouse came in), hidden
  // kHintHidePauseMs after it appeared; an empty hint is never shown.
  bool IsHintShowing() const { return hintShowing_; }
  const QTimer& HintShowTimer() const { return hintShowTimer_; }
  const QTimer& HintHideTimer() const { return hintHideTimer_; }
  // What the timers run; public so tests can fire them without waiting.
  void ShowHintNow();
  void HideHint();

 signals:
  // No browser (or other handler) could be started for this address, as displayed.
  void openFailed(const QString& address);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  QModelIndex moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  bool viewportEvent(QEvent* event) override;
  void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
  QItemSelectionModel::SelectionFlags selectionCommand(
      const QModelIndex& index, const QEvent* event = nullptr) const override;

 private:
  void SetHint(const QString& text);
  void FollowCurrentRow(int row);
  TDesktopShell& Shell() const;
  void BuildRowMenu();

  TResultsModel* model_ = nullptr;
  TDesktopShell* shell_ = nullptr;
  std::function<bool()> descriptionHint_;
  std::function<bool()> urlHint_;
  QString hintText_;
  bool hintShowing_ = false;
  QPoint lastMousePos_;
  QTimer hintShowTimer_;
  QTimer hintHideTimer_;
  bool followingModel_ = false;
  QMenu* rowMenu_ = nullptr;
  QAction* rowTick_ = nullptr;
};

}  // namespace quellion
