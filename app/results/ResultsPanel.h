#pragma once

#include <QWidget>

namespace quellion {

class TEngineOutcomeStrip;
class TFullInfoPanel;
class TResultTable;
class TResultsGrid;
class TResultsModel;

// Panel4: the results grid above the full-information panel, on the window colour.
// Between the two, once a search has engines, the thin row of their outcomes.
// A convenience for the main window: it owns the model, the grid (ExDBGrid1) and
// Panel5, wires them together, and can stand in for Panel4 as a promoted widget.
class TResultsPanel : public QWidget {
  Q_OBJECT

 public:
  explicit TResultsPanel(QWidget* parent = nullptr);

  // Binds model, grid and panel to the results table (borrowed).
  void SetTable(TResultTable* table);

  TResultsModel* Model() const { return model_; }
  TResultsGrid* Grid() const { return grid_; }
  TFullInfoPanel* FullInfo() const { return panel5_; }
  TEngineOutcomeStrip* OutcomeStrip() const { return outcomes_; }

  // FullInfoCheckBoxClick: Panel5 is visible exactly when "Full Info" is ticked; the
  // grid takes the freed height.
  void FullInfoCheckBoxClick(bool fullInfoTicked);

 private:
  TResultsModel* model_;
  TResultsGrid* grid_;
  TEngineOutcomeStrip* outcomes_;
  TFullInfoPanel* panel5_;
};

}  // namespace quellion
