#include "app/results/ResultsModel.h"

#include <QMetaObject>
#include <QPointer>
#include <QStringList>
#include <mutex>

#include "platform/TextEncoding.h"

namespace quellion {

// Carries announcements from any thread to the model. The model clears target when it
// goes away; the mutex keeps a forward from racing that, so nothing is posted to a
// destroyed object. A queued call already posted is dropped by Qt with its receiver.
struct TResultsModel::TForwarder {
  std::mutex mutex;
  TResultsModel* target = nullptr;

  void Forward(int rowCount) {
    std::lock_guard lock(mutex);
    if (target == nullptr)
      return;
    TResultsModel* model = target;
    QMetaObject::invokeMethod(
        model, [model, rowCount] { model->Announced(rowCount); }, Qt::QueuedConnection);
  }

  void ForwardJoin(int row) {
    std::lock_guard lock(mutex);
    if (target == nullptr)
      return;
    TResultsModel* model = target;
    QMetaObject::invokeMethod(
        model, [model, row] { model->Joined(row); }, Qt::QueuedConnection);
  }
};

QString TResultsModel::EngineNamesText(const TResultRecord& row) {
  QStringList names;
  for (const TEngineFind& find : row.Engines)
    names << QString::fromStdString(DecodeForDisplay(find.Engine));
  if (names.isEmpty())
    names << QString::fromStdString(DecodeForDisplay(row.SearchEngine));
  return names.join(QStringLiteral(", "));
}

TResultsModel::TResultsModel(QObject* parent) : QAbstractTableModel(parent) {}

TResultsModel::~TResultsModel() {
  if (forwarder_) {
    std::lock_guard lock(forwarder_->mutex);
    forwarder_->target = nullptr;
  }
}

void TResultsModel::SetTable(TResultTable* table) {
  beginResetModel();
  if (forwarder_) {
    std::lock_guard lock(forwarder_->mutex);
    forwarder_->target = nullptr;
  }
  forwarder_.reset();
  table_ = table;
  knownRows_ = 0;
  current_ = -1;
  resetPending_ = false;
  if (table_ != nullptr) {
    forwarder_ = std::make_shared<TForwarder>();
    forwarder_->target = this;
    auto previous = table_->OnRowsChanged;
    table_->OnRowsChanged = [forwarder = forwarder_, previous](int rowCount) {
      if (previous)
        previous(rowCount);
      forwarder->Forward(rowCount);
    };
    auto previousJoin = table_->OnRowJoined;
    table_->OnRowJoined = [forwarder = forwarder_, previousJoin](int row) {
      if (previousJoin)
        previousJoin(row);
      forwarder->ForwardJoin(row);
    };
    knownRows_ = table_->RowCount();
    current_ = table_->CurrentRow();
  }
  endResetModel();
  emit CurrentRowChanged(current_);
}

bool TResultsModel::IsTableOpen() const {
  return table_ != nullptr && table_->IsOpen();
}

int TResultsModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : knownRows_;
}

int TResultsModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kColumnCount;
}

QVariant TResultsModel::data(const QModelIndex& index, int role) const {
  if (table_ == nullptr || !index.isValid())
    return {};
  const bool wanted =
      (index.column() == kCheckedColumn && role == Qt::CheckStateRole) ||
      (index.column() == kTitleColumn && (role == Qt::DisplayRole || role == kEnginesRole));
  if (!wanted)
    return {};  // the view asks for many roles per cell; only two are ours
  // Rows are read live: between an emptying and its announcement the table may
  // already hold other (or fewer) rows than the view believes.
  const auto row = table_->Row(index.row());
  if (!row)
    return {};
  if (index.column() == kCheckedColumn && role == Qt::CheckStateRole)
    return row->Checked.value_or(false) ? Qt::Checked : Qt::Unchecked;
  if (index.column() == kTitleColumn && role == Qt::DisplayRole)
    return QString::fromStdString(DecodeForDisplay(row->Title));
  if (index.column() == kTitleColumn && role == kEnginesRole) {
    QStringList names;
    for (const TEngineFind& find : row->Engines)
      names << QString::fromStdString(DecodeForDisplay(find.Engine));
    return names;
  }
  return {};
}

Qt::ItemFlags TResultsModel::flags(const QModelIndex& index) const {
  if (!index.isValid())
    return Qt::NoItemFlags;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

void TResultsModel::SetCurrentRow(int row) {
  if (table_ == nullptr)
    return;
  table_->SetCurrentRow(row);
  const int now = table_->CurrentRow();
  if (now != current_) {
    current_ = now;
    emit CurrentRowChanged(current_);
  }
}

void TResultsModel::Announced(int rowCount) {
  // An announcement of 0 rows means the table was emptied or closed: whatever the
  // view holds is stale even if the count has grown back since.
  if (rowCount == 0)
    resetPending_ = true;
  Refresh();
}

void TResultsModel::Refresh() {
  if (table_ == nullptr)
    return;
  const int rows = table_->RowCount();
  const int oldRows = knownRows_;
  const bool reset = resetPending_ || rows < knownRows_;
  if (reset) {
    beginResetModel();
    knownRows_ = rows;
    resetPending_ = false;
    endResetModel();
  } else if (rows > knownRows_) {
    beginInsertRows(QModelIndex(), knownRows_, rows - 1);
    knownRows_ = rows;
    endInsertRows();
  }
  if (reset || knownRows_ != oldRows)
    emit RowsChanged(knownRows_);
  // After an emptying the row under the cursor is another one even at the same
  // position, so the views reload it.
  const int now = table_->CurrentRow();
  if (now != current_ || reset) {
    current_ = now;
    emit CurrentRowChanged(current_);
  }
}

void TResultsModel::Joined(int row) {
  // A join announced before an emptying refers to a row that is gone.
  if (resetPending_ || row < 0 || row >= knownRows_)
    return;
  emit dataChanged(index(row, kTitleColumn), index(row, kTitleColumn), {kEnginesRole});
  emit RowJoined(row);
}

void TResultsModel::RowEdited(int row) {
  if (row < 0 || row >= knownRows_)
    return;
  emit dataChanged(index(row, 0), index(row, kColumnCount - 1));
}

}  // namespace quellion
