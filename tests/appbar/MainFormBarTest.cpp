#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QWidget>

#include "FakeAppBarPlatform.h"
#include "app/MainFormBar.h"
#include "appbar/AppBarCore.h"
#include "appbar/EmulatedToolbarService.h"

namespace quellion {
namespace {

TEST(MainFormBar, ImposedValuesOverrideStoredOnesSoTheTopEdgeStaysClosed) {
  TEmulatedToolbarService service({0, 0, 1024, 768});
  TAppBarCore bar(std::make_unique<test::TFakeAppBarPlatform>(&service), service);
  TAppBarState stored;  // as loaded: every edge allowed, no minimum sizes, size steps of 5
  stored.HorzSizeInc = 5;
  stored.VertSizeInc = 0;
  bar.SetState(stored);
  ASSERT_EQ(bar.EdgeAtPoint(bar.Flags(), {512, 2}), abeTop);

  ImposeMainFormBarValues(bar);
  EXPECT_EQ(bar.Flags(), (TAppBarFlags{abfAllowLeft, abfAllowRight, abfAllowFloat}));
  EXPECT_EQ(bar.MinWidth(), 237);
  EXPECT_EQ(bar.MinHeight(), 200);
  EXPECT_EQ(bar.MinVertDockSize(), 248);
  EXPECT_EQ(bar.MinHorzDockSize(), 200);
  EXPECT_EQ(bar.HorzSizeInc(), 1);
  EXPECT_EQ(bar.VertSizeInc(), 1);
  EXPECT_EQ(bar.PendingEdgeAt({512, 2}), abeFloat) << "dragged to the top it stays floating";
  EXPECT_EQ(bar.PendingEdgeAt({512, 765}), abeFloat) << "and to the bottom";
  EXPECT_EQ(bar.PendingEdgeAt({2, 384}), abeLeft);
}

class LayoutByEdgeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Form.resize(325, 584);
    Panel1 = new QWidget(&Form);
    ImgMenu = new QWidget(&Form);
    ImgMin = new QWidget(&Form);
    ImgMenu->resize(12, 11);
    ImgMin->resize(12, 11);
    Panel1->setGeometry(1, 2, 3, 4);
    ImgMin->move(50, 50);
  }
  QWidget Form;
  QWidget* Panel1 = nullptr;
  QWidget* ImgMenu = nullptr;
  QWidget* ImgMin = nullptr;
};

TEST_F(LayoutByEdgeTest, ImagesAndPanelByEdge) {
  const QRect client(0, 0, 300, 500);
  const struct {
    TAppBarEdge edge;
    QRect panel;
    QPoint menu;
    QPoint min;
  } cases[] = {
      {abeLeft, {0, 13, 300, 487}, {0, 0}, {13, 0}},
      {abeRight, {0, 13, 300, 487}, {0, 0}, {13, 0}},
      {abeFloat, {13, 0, 287, 500}, {0, 0}, {0, 12}},
      {abeTop, {13, 0, 287, 500}, {0, 0}, {0, 12}},
      {abeBottom, {13, 0, 287, 500}, {0, 0}, {0, 12}},
  };
  for (const auto& c : cases) {
    LayoutByEdge(c.edge, client, Panel1, ImgMenu, ImgMin);
    EXPECT_EQ(Panel1->geometry(), c.panel) << int(c.edge);
    EXPECT_EQ(ImgMenu->pos(), c.menu) << int(c.edge);
    EXPECT_EQ(ImgMin->pos(), c.min) << int(c.edge);
  }
  // Inside a window frame and caption the layout starts at the client area's corner.
  LayoutByEdge(abeFloat, QRect(3, 18, 319, 563), Panel1, ImgMenu, ImgMin);
  EXPECT_EQ(Panel1->geometry(), QRect(16, 18, 306, 563));
  EXPECT_EQ(ImgMin->pos(), QPoint(3, 30));
}

TEST_F(LayoutByEdgeTest, UnregisteredMovesNothing) {
  LayoutByEdge(abeUnknown, QRect(0, 0, 300, 500), Panel1, ImgMenu, ImgMin);
  EXPECT_EQ(Panel1->geometry(), QRect(1, 2, 3, 4));
  EXPECT_EQ(ImgMin->pos(), QPoint(50, 50));
}

// Distinct colours for face, highlight and shadow, painted on white.
class GripperTest : public ::testing::Test {
 protected:
  GripperTest() : Image(120, 120, QImage::Format_RGB32) {
    Image.fill(Qt::white);
    Palette.setColor(QPalette::Button, Qt::red);
    Palette.setColor(QPalette::Light, Qt::green);
    Palette.setColor(QPalette::Dark, Qt::blue);
  }
  QColor At(int x, int y) const { return Image.pixelColor(x, y); }
  QColor LineColour(int i) const {
    const QColor colours[3] = {Qt::red, Qt::green, Qt::blue};
    return colours[i % 3];
  }
  QImage Image;
  QPalette Palette;
};

TEST_F(GripperTest, HorizontalLinesRunFromTwoInToJustBeforeTheRightEnd) {
  {
    QPainter painter(&Image);
    DrawGripper(painter, 0, QRect(QPoint(26, 0), QPoint(99, 12)), Palette);  // (26,0)-(100,13)
  }
  for (int i = 0; i < 13; ++i) {
    EXPECT_EQ(At(28, i), LineColour(i)) << i;
    EXPECT_EQ(At(98, i), LineColour(i)) << i;
    EXPECT_EQ(At(27, i), QColor(Qt::white)) << "starts at L + 2";
    EXPECT_EQ(At(99, i), QColor(Qt::white)) << "the end point R - 1 is not painted";
  }
  EXPECT_EQ(At(50, 13), QColor(Qt::white)) << "13 lines only";
}

TEST_F(GripperTest, VerticalLinesAndUnknownOrientation) {
  {
    QPainter painter(&Image);
    DrawGripper(painter, 1, QRect(QPoint(0, 26), QPoint(12, 109)), Palette);  // (0,26)-(13,110)
    DrawGripper(painter, 2, QRect(60, 0, 50, 50), Palette);
  }
  for (int i = 0; i < 13; ++i) {
    EXPECT_EQ(At(i, 28), LineColour(i)) << i;
    EXPECT_EQ(At(i, 108), LineColour(i)) << i;
    EXPECT_EQ(At(i, 27), QColor(Qt::white));
    EXPECT_EQ(At(i, 109), QColor(Qt::white));
  }
  EXPECT_EQ(At(13, 50), QColor(Qt::white));
  EXPECT_EQ(At(80, 20), QColor(Qt::white)) << "orientation 2 draws nothing";
}

TEST_F(GripperTest, PaintByEdgePlacesTheGripperBesideOrBelowTheImages) {
  const QRect client(0, 0, 100, 110);
  {
    QPainter painter(&Image);
    PaintGripperByEdge(painter, abeLeft, client, Palette);
  }
  EXPECT_EQ(At(28, 0), LineColour(0)) << "docked: across the top, right of the images";
  EXPECT_EQ(At(98, 12), LineColour(12));
  EXPECT_EQ(At(25, 5), QColor(Qt::white));
  EXPECT_EQ(At(5, 40), QColor(Qt::white));

  Image.fill(Qt::white);
  {
    QPainter painter(&Image);
    PaintGripperByEdge(painter, abeFloat, client, Palette);
  }
  EXPECT_EQ(At(0, 28), LineColour(0)) << "floating: down the left, below the images";
  EXPECT_EQ(At(12, 108), LineColour(12));
  EXPECT_EQ(At(5, 25), QColor(Qt::white));
  EXPECT_EQ(At(40, 5), QColor(Qt::white));

  Image.fill(Qt::white);
  {
    QPainter painter(&Image);
    PaintGripperByEdge(painter, abeUnknown, client, Palette);
  }
  EXPECT_EQ(Image.pixelColor(5, 40), QColor(Qt::white));
  EXPECT_EQ(Image.pixelColor(40, 5), QColor(Qt::white));
}

}  // namespace
}  // namespace quellion
