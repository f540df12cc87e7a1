#include <gtest/gtest.h>

#include <QImage>
#include <cstdlib>

#include "app/results/GaugeStatusBar.h"

namespace quellion {
namespace {

int Distance(QColor a, QColor b) {
  return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) +
         std::abs(a.blue() - b.blue());
}

class GaugeStatusBar : public ::testing::Test {
 protected:
  void SetUp() override {
    QPalette pal = bar.palette();
    pal.setColor(QPalette::Window, QColor(212, 208, 200));
    pal.setColor(QPalette::Highlight, QColor(10, 36, 106));
    bar.setPalette(pal);
    bar.resize(213, TGaugeStatusBar::kHeight);
  }
  QColor GaugePixel(int x) {
    const QImage image = bar.grab().toImage();
    return image.pixelColor(x, TGaugeStatusBar::kHeight / 2);
  }

  TGaugeStatusBar bar;
};

TEST_F(GaugeStatusBar, StepsFourPixelsAndTurnsAtBothEnds) {
  EXPECT_FALSE(bar.GaugeTimer().isActive());
  bar.setGaugeEnabled(true);
  EXPECT_TRUE(bar.GaugeTimer().isActive());
  EXPECT_EQ(TGaugeStatusBar::kTickMs, bar.GaugeTimer().interval());
  EXPECT_EQ(0, bar.GaugePosition());

  // Right: 0, 4, ..., 48 (48 < 49 goes on), 52 turns.
  for (int i = 0; i < 12; ++i)
    bar.GaugeTick();
  EXPECT_EQ(48, bar.GaugePosition());
  EXPECT_TRUE(bar.GaugeMovingRight());
  bar.GaugeTick();
  EXPECT_EQ(52, bar.GaugePosition());
  EXPECT_FALSE(bar.GaugeMovingRight());

  // Left until the block has left the panel: -96 goes on, -100 turns.
  int ticks = 0;
  while (!bar.GaugeMovingRight() && ticks < 100) {
    bar.GaugeTick();
    ++ticks;
  }
  EXPECT_EQ(38, ticks);
  EXPECT_EQ(-100, bar.GaugePosition());
  bar.GaugeTick();
  EXPECT_EQ(-96, bar.GaugePosition());

  bar.setGaugeEnabled(false);
  EXPECT_FALSE(bar.GaugeTimer().isActive());
  bar.GaugeTick();
  EXPECT_EQ(0, bar.GaugePosition());
}

TEST_F(GaugeStatusBar, BlockIsShadedTowardsItsLeadingEndAndBlankWhileDisabled) {
  const QColor barColor = bar.palette().color(QPalette::Window);
  const QColor highlight = bar.palette().color(QPalette::Highlight);
  EXPECT_EQ(barColor, bar.BlockColumnColor(0));
  EXPECT_EQ(highlight, bar.BlockColumnColor(TGaugeStatusBar::kBlockWidth - 1));

  bar.setGaugeEnabled(true);
  for (int i = 0; i < 5; ++i)
    bar.GaugeTick();  // moving right, left edge at 20: columns 0..28 visible
  EXPECT_LT(Distance(GaugePixel(45), highlight), Distance(GaugePixel(22), highlight));
  EXPECT_EQ(barColor, GaugePixel(10));  // left of the block

  for (int i = 0; i < 9; ++i)
    bar.GaugeTick();  // turned at 52, now moving left at 48
  ASSERT_FALSE(bar.GaugeMovingRight());
  for (int i = 0; i < 7; ++i)
    bar.GaugeTick();  // left edge at 20, mirrored: the highlight end leads on the left
  EXPECT_LT(Distance(GaugePixel(22), highlight), Distance(GaugePixel(45), highlight));

  bar.setGaugeEnabled(false);
  for (const int x : {5, 22, 45})
    EXPECT_EQ(barColor, GaugePixel(x)) << x;
}

TEST_F(GaugeStatusBar, StatusTextTakesUnicodeOr8BitText) {
  bar.setStatusText(QStringLiteral("Searching  -  Found 0 sites"));
  EXPECT_EQ(QStringLiteral("Searching  -  Found 0 sites"), bar.statusText());
  bar.setStatusText(std::string("Caf\xe9  -  Found 3 sites"));
  EXPECT_EQ(QStringLiteral("Caf\u00e9  -  Found 3 sites"), bar.statusText());
  EXPECT_EQ(TGaugeStatusBar::kHeight, bar.height());
  EXPECT_EQ(QRect(0, 0, 50, 19), bar.GaugePanelRect());
}

// The bar docked at its narrowest (213 pixels here): the longest status still fits whole;
// a short one keeps the bar's own font.
TEST_F(GaugeStatusBar, StatusTextFitsTheNarrowestBar) {
  bar.setStatusText(QStringLiteral("Searching"));
  EXPECT_EQ(bar.font().pointSizeF(), bar.StatusTextFont().pointSizeF());
  EXPECT_EQ(bar.font().stretch(), bar.StatusTextFont().stretch());
  bar.setStatusText(QStringLiteral("Search Complete  -  Found 1000 sites"));
  EXPECT_LE(QFontMetrics(bar.StatusTextFont()).horizontalAdvance(bar.statusText()),
            bar.TextPanelRect().width() - 5);
}

}  // namespace
}  // namespace quellion
