#include "app/results/ResultsGrid.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QCursor>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTextDocument>
#include <QToolTip>
#include <algorithm>
#include <exception>

#include "app/results/HintDelays.h"
#include "app/results/ResultsModel.h"
#include "app/widgets/DesktopShell.h"
#include "platform/TextEncoding.h"
#include "search/RowAddress.h"

namespace quellion {
namespace {

// The Checked column: a flat check box (thin frame, white box, black tick), centred.
class TFlatCheckDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    painter->save();
    const bool selected = option.state & QStyle::State_Selected;
    const QPalette& pal = option.palette;
    painter->fillRect(option.rect,
                      selected ? pal.color(QPalette::Highlight) : pal.color(QPalette::Base));
    const int side = 13;
    const QRect box(option.rect.x() + (option.rect.width() - side) / 2,
                    option.rect.y() + (option.rect.height() - side) / 2, side, side);
    painter->fillRect(box, Qt::white);
    painter->setPen(QPen(QColor(128, 128, 128), 1));
    painter->drawRect(box.adjusted(0, 0, -1, -1));
    if (index.data(Qt::CheckStateRole).toInt() == Qt::Checked) {
      painter->setPen(QPen(Qt::black, 2));
      const QPointF a(box.left() + 3, box.top() + 6.5);
      const QPointF b(box.left() + 5.5, box.top() + 9);
      const QPointF c(box.left() + 10, box.top() + 3.5);
      painter->drawLine(a, b);
      painter->drawLine(b, c);
    }
    painter->restore();
  }
};

// The Title column: the title, and for a row two or more engines found a small quiet
// badge with their count at the cell's right end. Sizes follow the font in logical
// pixels, so a scaled screen draws it sharp and in proportion.
class TTitleDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    const int count =
        static_cast<int>(index.data(TResultsModel::kEnginesRole).toStringList().size());
    if (count < 2) {
      QStyledItemDelegate::paint(painter, option, index);
      return;
    }
    QFont font = option.font;
    if (font.pointSizeF() > 0)
      font.setPointSizeF(font.pointSizeF() * 0.8);
    else
      font.setPixelSize(std::max(6, font.pixelSize() * 4 / 5));
    const QFontMetrics metrics(font);
    const QString text = QString::number(count);
    const int height = std::min(option.rect.height() - 4, metrics.height());
    const int width = std::max(height + 2, metrics.horizontalAdvance(text) + 8);
    const QRect badge(option.rect.right() - width - 2,
                      option.rect.top() + (option.rect.height() - height) / 2, width, height);

    QStyleOptionViewItem titleOption = option;
    titleOption.rect.setRight(badge.left() - 3);
    QStyledItemDelegate::paint(painter, titleOption, index);

    painter->save();
    const bool selected = option.state & QStyle::State_Selected;
    const QPalette& pal = option.palette;
    const QColor background = selected ? pal.color(QPalette::Highlight) : pal.color(QPalette::Base);
    painter->fillRect(
        QRect(QPoint(titleOption.rect.right() + 1, option.rect.top()), option.rect.bottomRight()),
        background);
    painter->setRenderHint(QPainter::Antialiasing);
    const QColor ink = selected ? pal.color(QPalette::HighlightedText) : QColor(96, 96, 96);
    QColor fill = ink;
    fill.setAlpha(selected ? 60 : 40);
    painter->setPen(Qt::NoPen);
    painter->setBrush(fill);
    painter->drawRoundedRect(QRectF(badge), height / 2.0, height / 2.0);
    painter->setPen(ink);
    painter->setFont(font);
    painter->drawText(badge, Qt::AlignCenter, text);
    painter->restore();
  }
};

}  // namespace

TResultsGrid::TResultsGrid(QWidget* parent) : QTableView(parent) {
  setObjectName(QStringLiteral("ExDBGrid1"));
  horizontalHeader()->hide();
  verticalHeader()->hide();
  verticalHeader()->setMinimumSectionSize(kRowHeight);
  verticalHeader()->setDefaultSectionSize(kRowHeight);
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  horizontalHeader()->setMinimumSectionSize(0);
  setShowGrid(false);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setFrameShape(QFrame::NoFrame);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setWordWrap(false);
  setTextElideMode(Qt::ElideNone);
  setCornerButtonEnabled(false);
  setMouseTracking(true);
  setItemDelegateForColumn(TResultsModel::kCheckedColumn, new TFlatCheckDelegate(this));
  setItemDelegateForColumn(TResultsModel::kTitleColumn, new TTitleDelegate(this));

  QPalette pal = palette();
  for (const auto group : {QPalette::Active, QPalette::Inactive}) {
    pal.setColor(group, QPalette::Highlight, QColor(0, 0, 128));
    pal.setColor(group, QPalette::HighlightedText, Qt::white);
  }
  setPalette(pal);

  hintShowTimer_.setSingleShot(true);
  hintShowTimer_.setInterval(kHintPauseMs);
  hintHideTimer_.setSingleShot(true);
  hintHideTimer_.setInterval(kHintHidePauseMs);
  connect(&hintShowTimer_, &QTimer::timeout, this, &TResultsGrid::ShowHintNow);
  connect(&hintHideTimer_, &QTimer::timeout, this, &TResultsGrid::HideHint);
  connect(this, &QAbstractItemView::clicked, this,
          [this](const QModelIndex& index) { ExDBGrid1CellClick(index.column()); });
  BuildRowMenu();
}

void TResultsGrid::BuildRowMenu() {
  rowMenu_ = new QMenu(this);
  rowMenu_->setObjectName(QStringLiteral("RowMenu"));
  QAction* open = rowMenu_->addAction(QStringLiteral("&Open"));
  open->setObjectName(QStringLiteral("RowOpen"));
  QAction* copyAddress = rowMenu_->addAction(QStringLiteral("Copy &Address"));
  copyAddress->setObjectName(QStringLiteral("RowCopyAddress"));
  QAction* copyTitle = rowMenu_->addAction(QStringLiteral("Copy &Title"));
  copyTitle->setObjectName(QStringLiteral("RowCopyTitle"));
  rowTick_ = rowMenu_->addAction(QStringLiteral("T&ick"));
  rowTick_->setObjectName(QStringLiteral("RowTick"));
  connect(open, &QAction::triggered, this, &TResultsGrid::URLListBoxDblClick);
  connect(copyAddress, &QAction::triggered, this, &TResultsGrid::CopyCurrentAddress);
  connect(copyTitle, &QAction::triggered, this, &TResultsGrid::CopyCurrentTitle);
  connect(rowTick_, &QAction::triggered, this, &TResultsGrid::ToggleCurrentTick);
}

TResultsGrid::~TResultsGrid() {
  HideHint();
}

void TResultsGrid::SetResultsModel(TResultsModel* model) {
  if (model_ != nullptr)
    disconnect(model_, nullptr, this, nullptr);
  model_ = model;
  setModel(model);
  if (model_ != nullptr) {
    connect(model_, &TResultsModel::CurrentRowChanged, this, &TResultsGrid::FollowCurrentRow);
    // A reset rebuilds the header's sections at their default width.
    connect(model_, &QAbstractItemModel::modelReset, this, &TResultsGrid::Panel4Resize);
    FollowCurrentRow(model_->CurrentRow());
  }
  Panel4Resize();
}

void TResultsGrid::SetHintSettings(std::function<bool()> descriptionHint,
                                   std::function<bool()> urlHint) {
  descriptionHint_ = std::move(descriptionHint);
  urlHint_ = std::move(urlHint);
}

TDesktopShell& TResultsGrid::Shell() const {
  return shell_ != nullptr ? *shell_ : DefaultDesktopShell();
}

void TResultsGrid::Panel4Resize() {
  setColumnWidth(TResultsModel::kCheckedColumn, kCheckedWidth);
  setColumnWidth(TResultsModel::kTitleColumn, std::max(0, width() - kCheckedWidth - kTitleMargin));
}

void TResultsGrid::ExDBGrid1CellClick(int column) {
  if (column == TResultsModel::kCheckedColumn)
    ToggleCurrentTick();
}

void TResultsGrid::ToggleCurrentTick() {
  if (model_ == nullptr || !model_->IsTableOpen())
    return;
  TResultTable& table = *model_->Table();
  const int row = table.CurrentRow();
  const auto record = table.Row(row);
  // An empty table has no row to tick; the click does nothing (no blank row is made).
  if (!record)
    return;
  table.SetChecked(row, !record->Checked.value_or(false));
  model_->RowEdited(row);
}

void TResultsGrid::URLListBoxMouseMove(Qt::KeyboardModifiers /*shift*/, const QPoint& pos) {
  if (model_ == nullptr || !model_->IsTableOpen()) {
    // Before the first search: nothing to move to, and no hint.
    if (!hintText_.isEmpty())
      SetHint(QString());
    return;
  }
  const int underMouse = rowAt(pos.y());
  if (underMouse < 0 || underMouse == model_->CurrentRow())
    return;

  TResultTable& table = *model_->Table();
  QString hint;
  try {
    model_->SetCurrentRow(underMouse);
    const auto record = table.Row(table.CurrentRow());
    const bool descriptionHint = descriptionHint_ && descriptionHint_();
    const bool urlHint = urlHint_ && urlHint_();
    if (record) {
      if (descriptionHint)
        hint = QString::fromStdString(DecodeForDisplay(record->Description));
      if (urlHint) {
        if (descriptionHint)
          hint += QStringLiteral("\r\r");
        hint += QString::fromStdString(DecodeForDisplay(record->URL));
      }
      // A row several engines found names them all, after what the boxes ask for.
      if (!hint.isEmpty() && record->Engines.size() >= 2)
        hint += QStringLiteral("\r\r") + TResultsModel::EngineNamesText(*record);
    }
  } catch (const std::exception&) {
    // The hint keeps what was built before the failure.
  }
  SetHint(hint);
}

void TResultsGrid::URLListBoxDblClick() {
  if (model_ == nullptr || !model_->IsTableOpen())
    return;
  TResultTable& table = *model_->Table();
  const int row = table.CurrentRow();
  const auto record = table.Row(row);
  if (!record)
    return;
  const std::string address = FullAddress(record->URL);
  // Only a row that was really opened counts as visited.
  if (!Shell().ShellOpen(address)) {
    emit openFailed(QString::fromStdString(DecodeForDisplay(address)));
    return;
  }
  table.SetColor(row, TResultTable::kVisitedColor);
  table.SetChecked(row, true);
  model_->RowEdited(row);
}

void TResultsGrid::CopyCurrentAddress() {
  if (model_ == nullptr || !model_->IsTableOpen())
    return;
  if (const auto record = model_->Table()->Row(model_->Table()->CurrentRow()))
    QGuiApplication::clipboard()->setText(
        QString::fromStdString(DecodeForDisplay(FullAddress(record->URL))));
}

void TResultsGrid::CopyCurrentTitle() {
  if (model_ == nullptr || !model_->IsTableOpen())
    return;
  if (const auto record = model_->Table()->Row(model_->Table()->CurrentRow()))
    QGuiApplication::clipboard()->setText(QString::fromStdString(DecodeForDisplay(record->Title)));
}

QMenu* TResultsGrid::RowMenuFor(int row) {
  if (model_ == nullptr || !model_->IsTableOpen() || row < 0 || row >= model_->rowCount())
    return nullptr;
  model_->SetCurrentRow(row);
  TResultTable& table = *model_->Table();
  const auto record = table.Row(table.CurrentRow());
  if (!record)
    return nullptr;
  rowTick_->setText(record->Checked.value_or(false) ? QStringLiteral("Unt&ick")
                                                    : QStringLiteral("T&ick"));
  return rowMenu_;
}

void TResultsGrid::SetHint(const QString& text) {
  HideHint();
  SetProgramHintDelays();  // from here on for every hint of the program
  hintText_ = text;
  if (hintText_.isEmpty())
    hintShowTimer_.stop();
  else
    hintShowTimer_.start();
}

void TResultsGrid::ShowHintNow() {
  hintShowTimer_.stop();
  if (hintText_.isEmpty())
    return;
  // Shown as plain text: a page's description must not be read as markup. The CRs
  // between description and address become a line break each.
  QString shown = hintText_;
  shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  const QPoint at =
      viewport()->underMouse() ? QCursor::pos() : viewport()->mapToGlobal(lastMousePos_);
  QToolTip::showText(at, Qt::convertFromPlainText(shown, Qt::WhiteSpaceNormal), this);
  hintShowing_ = true;
  hintHideTimer_.start();
}

void TResultsGrid::HideHint() {
  hintHideTimer_.stop();
  if (hintShowing_) {
    QToolTip::hideText();
    hintShowing_ = false;
  }
}

void TResultsGrid::FollowCurrentRow(int row) {
  if (selectionModel() == nullptr || model_ == nullptr)
    return;
  followingModel_ = true;
  if (row < 0 || row >= model_->rowCount()) {
    selectionModel()->clear();
  } else {
    const QModelIndex index = model_->index(row, TResultsModel::kTitleColumn);
    selectionModel()->setCurrentIndex(
        index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    scrollTo(index);
  }
  followingModel_ = false;
}

void TResultsGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
  QTableView::currentChanged(current, previous);
  // Clicks and keys move the table's current row; following the model does not.
  if (!followingModel_ && model_ != nullptr && current.isValid())
    model_->SetCurrentRow(current.row());
}

QItemSelectionModel::SelectionFlags TResultsGrid::selectionCommand(const QModelIndex& index,
                                                                   const QEvent* /*event*/) const {
  // Exactly the current row is selected: no modifier deselects it, and a press below
  // the last row leaves it selected.
  if (!index.isValid())
    return QItemSelectionModel::NoUpdate;
  return QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows;
}

void TResultsGrid::keyPressEvent(QKeyEvent* event) {
  if (event->matches(QKeySequence::Copy)) {
    CopyCurrentAddress();
    event->accept();
    return;
  }
  const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
  if (modifiers == Qt::NoModifier) {
    switch (event->key()) {
      case Qt::Key_Space:
        ToggleCurrentTick();
        event->accept();
        return;
      case Qt::Key_Return:
      case Qt::Key_Enter:
        URLListBoxDblClick();
        event->accept();
        return;
      default:
        break;
    }
  }
  QTableView::keyPressEvent(event);
}

QModelIndex TResultsGrid::moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) {
  // Home and End go to the first and last row (a table view's own go along the row).
  if ((cursorAction == MoveHome || cursorAction == MoveEnd) && model_ != nullptr &&
      model_->rowCount() > 0) {
    const int row = cursorAction == MoveHome ? 0 : model_->rowCount() - 1;
    return model_->index(row, TResultsModel::kTitleColumn);
  }
  return QTableView::moveCursor(cursorAction, modifiers);
}

void TResultsGrid::contextMenuEvent(QContextMenuEvent* event) {
  event->accept();
  if (model_ == nullptr)
    return;
  const bool byMouse = event->reason() == QContextMenuEvent::Mouse;
  // A mouse event arrives through the viewport, in its coordinates.
  const int row = byMouse ? rowAt(event->pos().y()) : model_->CurrentRow();
  QMenu* menu = RowMenuFor(row);
  if (menu == nullptr)
    return;
  HideHint();
  const QPoint at =
      byMouse ? event->globalPos()
              : viewport()->mapToGlobal(
                    visualRect(model_->index(row, TResultsModel::kTitleColumn)).bottomLeft());
  menu->popup(at);
}

void TResultsGrid::mousePressEvent(QMouseEvent* event) {
  if (!indexAt(event->position().toPoint()).isValid()) {
    setFocus(Qt::MouseFocusReason);
    event->accept();
    return;
  }
  QTableView::mousePressEvent(event);
}

void TResultsGrid::mouseMoveEvent(QMouseEvent* event) {
  lastMousePos_ = event->position().toPoint();
  URLListBoxMouseMove(event->modifiers(), lastMousePos_);
  QTableView::mouseMoveEvent(event);
}

void TResultsGrid::mouseDoubleClickEvent(QMouseEvent* event) {
  QTableView::mouseDoubleClickEvent(event);
  if (event->button() == Qt::LeftButton)
    URLListBoxDblClick();
}

void TResultsGrid::resizeEvent(QResizeEvent* event) {
  QTableView::resizeEvent(event);
  Panel4Resize();
}

bool TResultsGrid::viewportEvent(QEvent* event) {
  switch (event->type()) {
    case QEvent::ToolTip:
      // Hints follow their own delays (ShowHintNow), not Qt's.
      return true;
    case QEvent::Enter:
      if (!hintText_.isEmpty())
        hintShowTimer_.start();
      break;
    case QEvent::Leave:
      hintShowTimer_.stop();
      HideHint();
      break;
    default:
      break;
  }
  return QTableView::viewportEvent(event);
}

}  // namespace quellion
