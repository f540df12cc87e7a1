#pragma once

#include <QAbstractTableModel>
#include <memory>

#include "search/ResultTable.h"

namespace quellion {

// The results table seen as a two-column Qt model (Checked, Title) plus the table's
// current row, which the grid and the full-information panel both show.
//
// Threads: the model lives on the GUI thread. The table announces appends on the
// appending (engine) thread through OnRowsChanged; the model forwards each
// announcement with a queued invocation to itself, so the view learns of new rows
// only on the GUI thread. A forward still in flight when the model is destroyed is
// dropped.
class TResultsModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  enum Column { kCheckedColumn = 0, kTitleColumn = 1, kColumnCount = 2 };
  // Title column: the names of the engines that found the row (QStringList, finding
  // order), decoded for display.
  static constexpr int kEnginesRole = Qt::UserRole + 1;

  // The engines that found a row, as the window names them: "DuckDuckGo, Brave, Mojeek".
  static QString EngineNamesText(const TResultRecord& row);

  explicit TResultsModel(QObject* parent = nullptr);
  ~TResultsModel() override;

  // Binds the model to the table (borrowed: it must outlive the model). Installs the
  // table's OnRowsChanged, keeping and still calling a handler set before; bind before
  // any engine task can append. Passing nullptr unbinds (the table keeps a harmless
  // handler that no longer reaches this model).
  void SetTable(TResultTable* table);
  TResultTable* Table() const { return table_; }
  bool IsTableOpen() const;

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  // Title: Qt::DisplayRole (decoded for display) and kEnginesRole. Checked:
  // Qt::CheckStateRole (an empty value reads as unchecked).
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

  // The table's current row as last seen on the GUI thread; -1 when none.
  int CurrentRow() const { return current_; }
  // Makes row the table's current row (clamped by the table) and tells the views once.
  void SetCurrentRow(int row);

  // Catches up with the table: rows appended or emptied since the last look, and its
  // current row. Runs on every forwarded announcement; callable directly (GUI thread).
  void Refresh();
  // Repaints a row edited through the table (SetChecked, SetColor, SetDescription).
  void RowEdited(int row);

 signals:
  // The current row changed (also after the table was emptied: then -1).
  void CurrentRowChanged(int row);
  // After Refresh saw the row count change; argument: the new row count.
  void RowsChanged(int rowCount);
  // Another engine joined the row (its engines changed); the row is repainted.
  void RowJoined(int row);

 private:
  struct TForwarder;
  void Announced(int rowCount);
  void Joined(int row);

  TResultTable* table_ = nullptr;
  std::shared_ptr<TForwarder> forwarder_;
  int knownRows_ = 0;
  int current_ = -1;
  bool resetPending_ = false;
};

}  // namespace quellion
