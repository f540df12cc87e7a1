#pragma once

#include <QRect>
#include <QString>
#include <QWidget>
#include <functional>
#include <string>
#include <vector>

#include "search/EngineOutcome.h"

namespace quellion {

// A thin row under the results grid: one small mark per engine of the latest search,
// in start order, labelled with the engine's name, or where that does not fit its
// initials or first letter. The mark's colour says how the engine is doing: grey while
// it runs, green once it has ended with hits, amber when it ended without any, red with
// "!" when it failed, violet with "z" when the engine refused this client and rests
// (blocked, or suspended and not asked). Hovering a mark says the engine's outcome in
// words; a resting engine's mark offers "Try again now" in its context menu. Hidden
// until a search has engines. GUI thread only: the window feeds it from
// TSearchControl::OnEngineOutcomesChanged.
class TEngineOutcomeStrip : public QWidget {
  Q_OBJECT

 public:
  enum class TMark { Running, Found, Empty, Failed, Resting };
  static constexpr int kHeight = 15;

  explicit TEngineOutcomeStrip(QWidget* parent = nullptr);

  void SetOutcomes(std::vector<TEngineOutcome> outcomes);
  const std::vector<TEngineOutcome>& Outcomes() const { return outcomes_; }

  static TMark MarkOf(const TEngineOutcome& outcome);
  // The mark of engine i, where it is drawn and the tooltip it shows.
  QRect MarkRect(int i) const;
  QString MarkToolTip(int i) const;
  // The label drawn beside mark i: the longest of name, initials, first letter that
  // fits its place whole (never cut short).
  QString MarkLabel(int i) const;
  // "DuckDuckGo: 2 pages, 20 results; stopped when the table was full".
  static QString OutcomeInWords(const TEngineOutcome& outcome);
  // The engine whose mark covers pos, or -1.
  int MarkAt(const QPoint& pos) const;
  // Whether engine i's mark offers "Try again now"; TryAgain(i) is what it does: it
  // calls OnTryAgain with the engine's name.
  bool OffersTryAgain(int i) const;
  void TryAgain(int i);

  // "Try again now" was chosen for the engine of that name.
  std::function<void(const std::string& engine)> OnTryAgain;

  QSize sizeHint() const override;

 protected:
  bool event(QEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  std::vector<TEngineOutcome> outcomes_;
};

}  // namespace quellion
