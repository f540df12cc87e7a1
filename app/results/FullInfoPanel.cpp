#include "app/results/FullInfoPanel.h"

#include <QLabel>
#include <QPainter>
#include <QPlainTextEdit>
#include <QTextCursor>

#include "app/results/ResultsModel.h"
#include "app/results/StoredText.h"
#include "platform/TextEncoding.h"

namespace quellion {
namespace {

QLabel* MakeLabel(QWidget* parent, const QString& name, const QString& text, int left, int top) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(name);
  label->setTextFormat(Qt::PlainText);
  label->move(left, top);
  label->adjustSize();
  return label;
}

QString Shown(const std::string& bytes) {
  return QString::fromStdString(DecodeForDisplay(bytes));
}

}  // namespace

TFullInfoPanel::TFullInfoPanel(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("Panel5"));
  setFixedHeight(kHeight);
  MakeLabel(this, QStringLiteral("Label10"), QStringLiteral("URL:"), 0, 8);
  MakeLabel(this, QStringLiteral("Label11"), QStringLiteral("Search Engine:"), 0, 24);
  MakeLabel(this, QStringLiteral("Label12"), QStringLiteral("Description:"), 0, 40);
  dbText2_ = MakeLabel(this, QStringLiteral("DBText2"), QString(), kFieldLeft, 8);
  dbText3_ = MakeLabel(this, QStringLiteral("DBText3"), QString(), kFieldLeft, 24);

  dbMemo1_ = new QPlainTextEdit(this);
  dbMemo1_->setObjectName(QStringLiteral("DBMemo1"));
  dbMemo1_->setFrameShape(QFrame::NoFrame);
  dbMemo1_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  dbMemo1_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  dbMemo1_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  dbMemo1_->document()->setDocumentMargin(1);
  // Qt has no scroll-bar colour of its own; the button face is the system colour the
  // classic scroll bar shared.
  QPalette pal = dbMemo1_->palette();
  pal.setColor(QPalette::Base, pal.color(QPalette::Button));
  dbMemo1_->setPalette(pal);
  dbMemo1_->setGeometry(kFieldLeft, 40, 129, 41);
  dbMemo1_->setReadOnly(true);
  connect(dbMemo1_, &QPlainTextEdit::textChanged, this, &TFullInfoPanel::DescriptionEdited);
}

void TFullInfoPanel::SetResultsModel(TResultsModel* model) {
  if (model_ != nullptr)
    disconnect(model_, nullptr, this, nullptr);
  model_ = model;
  if (model_ != nullptr) {
    connect(model_, &TResultsModel::CurrentRowChanged, this, &TFullInfoPanel::ShowCurrentRow);
    connect(model_, &TResultsModel::RowJoined, this, &TFullInfoPanel::ShowJoinedEngines);
  }
  ShowCurrentRow();
}

void TFullInfoPanel::ShowCurrentRow() {
  std::optional<TResultRecord> record;
  shownRow_ = -1;
  if (model_ != nullptr && model_->Table() != nullptr) {
    shownRow_ = model_->CurrentRow();
    record = model_->Table()->Row(shownRow_);
  }
  if (!record)
    shownRow_ = -1;
  loading_ = true;
  dbText2_->setText(record ? Shown(record->URL) : QString());
  dbText2_->adjustSize();
  dbText3_->setText(record ? TResultsModel::EngineNamesText(*record) : QString());
  dbText3_->adjustSize();
  dbMemo1_->setPlainText(record ? Shown(record->Description) : QString());
  dbMemo1_->setReadOnly(!record);
  loading_ = false;
}

void TFullInfoPanel::ShowJoinedEngines(int row) {
  // Only the engines changed: the description being typed is left alone.
  if (row != shownRow_ || model_ == nullptr || model_->Table() == nullptr)
    return;
  if (const auto record = model_->Table()->Row(row)) {
    dbText3_->setText(TResultsModel::EngineNamesText(*record));
    dbText3_->adjustSize();
  }
}

void TFullInfoPanel::DescriptionEdited() {
  if (loading_ || model_ == nullptr || model_->Table() == nullptr || shownRow_ < 0)
    return;
  const QString typed = dbMemo1_->toPlainText();
  const std::string stored = EncodeForStorage(typed, TResultTable::kDescriptionWidth);
  model_->Table()->SetDescription(shownRow_, stored);
  const QString kept = Shown(stored);
  if (kept != typed) {
    // The field holds 250 bytes; what did not fit is not kept in the box either.
    loading_ = true;
    dbMemo1_->setPlainText(kept);
    dbMemo1_->moveCursor(QTextCursor::End);
    loading_ = false;
  }
}

void TFullInfoPanel::paintEvent(QPaintEvent* event) {
  QWidget::paintEvent(event);
  // The one-line bevel across the top: a shadow line over a highlight line.
  QPainter painter(this);
  painter.setPen(palette().color(QPalette::Dark));
  painter.drawLine(0, 0, width() - 1, 0);
  painter.setPen(palette().color(QPalette::Light));
  painter.drawLine(0, 1, width() - 1, 1);
}

void TFullInfoPanel::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  // Anchored on all four sides: the box keeps its right margin as the panel widens.
  dbMemo1_->setGeometry(kFieldLeft, 40, std::max(0, width() - kFieldLeft - kMemoRightMargin),
                        std::max(0, height() - 40));
}

}  // namespace quellion
