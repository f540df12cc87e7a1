#include "app/results/ResultsPanel.h"

#include <QVBoxLayout>

#include "app/results/EngineOutcomeStrip.h"
#include "app/results/FullInfoPanel.h"
#include "app/results/ResultsGrid.h"
#include "app/results/ResultsModel.h"

namespace quellion {

TResultsPanel::TResultsPanel(QWidget* parent)
    : QWidget(parent),
      model_(new TResultsModel(this)),
      grid_(new TResultsGrid(this)),
      outcomes_(new TEngineOutcomeStrip(this)),
      panel5_(new TFullInfoPanel(this)) {
  setObjectName(QStringLiteral("Panel4"));
  // Panel4 is drawn in the window colour.
  setAutoFillBackground(true);
  QPalette pal = palette();
  pal.setColor(QPalette::Window, pal.color(QPalette::Base));
  setPalette(pal);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(grid_, 1);
  layout->addWidget(outcomes_, 0);
  layout->addWidget(panel5_, 0);
  grid_->SetResultsModel(model_);
  panel5_->SetResultsModel(model_);
}

void TResultsPanel::SetTable(TResultTable* table) {
  model_->SetTable(table);
}

void TResultsPanel::FullInfoCheckBoxClick(bool fullInfoTicked) {
  panel5_->setVisible(fullInfoTicked);
}

}  // namespace quellion
