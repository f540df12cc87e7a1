// The engines' outcomes under the results, offscreen: marks and tooltips follow the
// search live, a failed engine is marked red.
#include <gtest/gtest.h>

#include <QHelpEvent>
#include <QLineEdit>
#include <QToolTip>

#include "app/MainForm.h"
#include "app/results/EngineOutcomeStrip.h"
#include "app/results/ResultsPanel.h"
#include "search/SearchControl.h"
#include "tests/app/AppTestSupport.h"
#include "tools/engine-sim/EngineSimulator.h"
#include "ui_MainForm.h"

namespace quellion {
namespace {

using Mark = TEngineOutcomeStrip::TMark;
using test::TickEngines;
using test::TSandboxSettings;
using test::WaitUntil;
using tools::TEngineSimulator;
using tools::TSimConfig;
using tools::TSimMode;

TEST(EngineOutcomeStrip, MarkFollowsHowTheEngineEnded) {
  const struct {
    TEngineEnd end;
    int hits;
    Mark mark;
  } cases[] = {
      {TEngineEnd::Running, 3, Mark::Running},   {TEngineEnd::TableFull, 10, Mark::Found},
      {TEngineEnd::NoNewHits, 4, Mark::Found},   {TEngineEnd::NoNewHits, 0, Mark::Empty},
      {TEngineEnd::Stopped, 0, Mark::Empty},     {TEngineEnd::RuleEnded, 0, Mark::Empty},
      {TEngineEnd::RuleEnded, 2, Mark::Found},   {TEngineEnd::Failed, 0, Mark::Failed},
      {TEngineEnd::Blocked, 0, Mark::Resting},   {TEngineEnd::Blocked, 3, Mark::Resting},
      {TEngineEnd::Suspended, 0, Mark::Resting},
  };
  for (const auto& c : cases) {
    TEngineOutcome outcome;
    outcome.End = c.end;
    outcome.Hits = c.hits;
    EXPECT_EQ(c.mark, TEngineOutcomeStrip::MarkOf(outcome)) << outcome.Reason();
  }
}

TEST(EngineOutcomeStrip, TooltipsSayTheOutcomeInWords) {
  const struct {
    TEngineOutcome outcome;
    const char* words;
  } cases[] = {
      {{"DuckDuckGo", 2, 20, TEngineEnd::TableFull, ""},
       "DuckDuckGo: 2 pages, 20 results; stopped when the table was full"},
      {{"Mojeek", 1, 1, TEngineEnd::Running, ""}, "Mojeek: 1 page, 1 result; still searching"},
      {{"Google", 3, 0, TEngineEnd::Stopped, ""},
       "Google: 3 pages, 0 results; stopped by Stop Search"},
      {{"Excite", 1, 0, TEngineEnd::RuleEnded, ""},
       "Excite: 1 page, 0 results; reached the engine's last page of results"},
      {{"Wikipedia", 1, 0, TEngineEnd::Failed, "HTTP 503 Service Unavailable"},
       "Wikipedia: 1 page, 0 results; failed: HTTP 503 Service Unavailable"},
      {{"Brave", 1, 0, TEngineEnd::Blocked, "HTTP 429"},
       "Brave: 1 page, 0 results; blocked: HTTP 429"},
      {{"Yahoo", 0, 0, TEngineEnd::Suspended, "14:05"},
       "Yahoo: 0 pages, 0 results; not asked, resting until 14:05"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(QString::fromLatin1(c.words), TEngineOutcomeStrip::OutcomeInWords(c.outcome));
}

// Docked at its narrowest with eight engines, each mark keeps a label that fits whole.
TEST(EngineOutcomeStrip, NarrowMarksShowShortLabelsThatFit) {
  TEngineOutcomeStrip strip;
  std::vector<TEngineOutcome> outcomes;
  for (const char* name : {"Altavista", "Excite", "Hotbot", "AllTheWeb", "Google", "DuckDuckGo",
                           "Mojeek", "Wikipedia"})
    outcomes.push_back({name, 1, 10, TEngineEnd::NoNewHits, ""});
  strip.SetOutcomes(outcomes);
  strip.resize(225, TEngineOutcomeStrip::kHeight);
  for (int i = 0; i < 8; ++i) {
    const QString label = strip.MarkLabel(i);
    EXPECT_FALSE(label.isEmpty()) << i;
    EXPECT_LE(strip.fontMetrics().horizontalAdvance(label), strip.MarkRect(i).width() - 11) << i;
  }
  // Wide enough, the names are shown whole.
  strip.resize(900, TEngineOutcomeStrip::kHeight);
  EXPECT_EQ(QStringLiteral("DuckDuckGo"), strip.MarkLabel(5));
}

// A resting engine's mark says why and offers "Try again now", by the engine's name;
// the others offer nothing.
TEST(EngineOutcomeStrip, RestingEnginesOfferTryAgain) {
  TEngineOutcomeStrip strip;
  TEngineOutcome blocked{"DuckDuckGo", 1, 0, TEngineEnd::Blocked, "HTTP 202"};
  TEngineOutcome suspended{"Mojeek", 0, 0, TEngineEnd::Suspended, "14:05"};
  TEngineOutcome failed{"Brave", 1, 0, TEngineEnd::Failed, "HTTP 500"};
  strip.SetOutcomes({blocked, suspended, failed});
  std::vector<std::string> asked;
  strip.OnTryAgain = [&asked](const std::string& engine) { asked.push_back(engine); };
  EXPECT_TRUE(strip.MarkToolTip(0).startsWith(
      QStringLiteral("DuckDuckGo: 1 page, 0 results; blocked: HTTP 202\n")));
  EXPECT_TRUE(strip.MarkToolTip(1).startsWith(
      QStringLiteral("Mojeek: 0 pages, 0 results; not asked, resting until 14:05\n")));
  EXPECT_TRUE(strip.MarkToolTip(0).contains(QStringLiteral("Try again now")));
  EXPECT_EQ(strip.MarkToolTip(2), QStringLiteral("Brave: 1 page, 0 results; failed: HTTP 500"));
  for (int i : {0, 1, 2, 3, -1})
    strip.TryAgain(i);
  EXPECT_EQ(asked, (std::vector<std::string>{"DuckDuckGo", "Mojeek"}));
  EXPECT_FALSE(strip.OffersTryAgain(2));
}

TEST(EngineOutcomeStrip, ShowsEveryEngineOfTheSearchLiveWithItsOutcomeAsTooltip) {
  TSimConfig config;
  config[EngineIndex(TEngine::Altavista)].Mode = TSimMode::Dead;
  config[EngineIndex(TEngine::Excite)].DelayMs = 700;  // still running after the others
  config[EngineIndex(TEngine::Google)].Total = 6;
  TEngineSimulator simulator(config);
  simulator.Start();
  TSandboxSettings settings;
  settings.SetEngineHosts(simulator.Hosts());
  TMainForm form;
  form.show();
  TEngineOutcomeStrip* strip = form.Panel4()->OutcomeStrip();
  ASSERT_NE(strip, nullptr);
  EXPECT_TRUE(strip->isHidden());  // nothing to show before the first search

  TickEngines(form, {true, true, false, false, true});
  form.Controls().SpinEdit1->setValue(15);
  form.Controls().Edit1->setText(QStringLiteral("q"));
  form.SearchButtonClick();
  ASSERT_TRUE(strip->isVisible());
  ASSERT_EQ(3u, strip->Outcomes().size());

  // Altavista's refusal shows while Excite still waits for its answer.
  ASSERT_TRUE(WaitUntil([&] {
    return TEngineOutcomeStrip::MarkOf(strip->Outcomes()[0]) == Mark::Failed &&
           TEngineOutcomeStrip::MarkOf(strip->Outcomes()[2]) == Mark::Found;
  }));
  EXPECT_EQ(Mark::Running, TEngineOutcomeStrip::MarkOf(strip->Outcomes()[1]));
  EXPECT_TRUE(form.SearchControl().IsBusy());

  ASSERT_TRUE(WaitUntil([&] { return !form.SearchControl().IsBusy(); }, 20000));
  QCoreApplication::processEvents();
  const QString expected[] = {
      "Altavista: 1 page, 0 results; failed: Connection refused (Error #10061): " +
          QString::fromStdString(simulator.Host(TEngine::Altavista)),
      "Excite: 1 page, 9 results; stopped when the table was full",
      "Google: 2 pages, 6 results; no further results",
  };
  const Mark marks[] = {Mark::Failed, Mark::Found, Mark::Found};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(expected[i], strip->MarkToolTip(i)) << i;
    EXPECT_EQ(marks[i], TEngineOutcomeStrip::MarkOf(strip->Outcomes()[static_cast<size_t>(i)]));
    const QRect r = strip->MarkRect(i);
    EXPECT_FALSE(r.isEmpty());
    EXPECT_TRUE(strip->rect().contains(r)) << i;
    EXPECT_EQ(i, strip->MarkAt(r.center()));
    // Hovering the mark opens its tooltip.
    QHelpEvent help(QEvent::ToolTip, r.center(), strip->mapToGlobal(r.center()));
    QCoreApplication::sendEvent(strip, &help);
    EXPECT_EQ(expected[i], QToolTip::text()) << i;
  }
  QToolTip::hideText();

  // A new search starts a fresh row.
  TickEngines(form, {false, false, false, false, true});
  form.SearchButtonClick();
  ASSERT_EQ(1u, strip->Outcomes().size());
  EXPECT_EQ("Google", strip->Outcomes()[0].Engine);
  ASSERT_TRUE(WaitUntil([&] { return !form.SearchControl().IsBusy(); }, 20000));
}

}  // namespace
}  // namespace quellion
