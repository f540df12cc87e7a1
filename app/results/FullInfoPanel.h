#pragma once

#include <QWidget>

class QLabel;
class QPlainTextEdit;

namespace quellion {

class TResultsModel;

// Panel5: address, engine and description of the current row, 81 pixels high with a
// one-line bevel across its top. The description box is editable: what the user types
// is stored as the row's Description (8-bit, cut to 250 bytes).
class TFullInfoPanel : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kHeight = 81;
  static constexpr int kFieldLeft = 80;
  static constexpr int kMemoRightMargin = 4;

  explicit TFullInfoPanel(QWidget* parent = nullptr);

  // The model whose current row is shown (borrowed).
  void SetResultsModel(TResultsModel* model);

  QLabel* UrlText() const { return dbText2_; }                  // DBText2
  QLabel* SearchEngineText() const { return dbText3_; }         // DBText3
  QPlainTextEdit* DescriptionMemo() const { return dbMemo1_; }  // DBMemo1

  // Shows the model's current row (empty fields when there is none).
  void ShowCurrentRow();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void DescriptionEdited();
  void ShowJoinedEngines(int row);

  TResultsModel* model_ = nullptr;
  QLabel* dbText2_;
  QLabel* dbText3_;
  QPlainTextEdit* dbMemo1_;
  int shownRow_ = -1;
  bool loading_ = false;
};

}  // namespace quellion
