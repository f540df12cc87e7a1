#include <gtest/gtest.h>

#include <QApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QScreen>
#include <memory>

#include "app/MainFormBar.h"
#include "appbar/AppBar.h"
#include "appbar/X11ToolbarService.h"

namespace quellion {
namespace {

QRect Screen() {
  return QGuiApplication::primaryScreen()->geometry();
}

// The window's creation as the main window runs it: floating rectangle and dock sizes
// from the design, the native window (registration, first ApplyState), the settings, the
// imposed values, ApplyState.
std::unique_ptr<TAppBar> CreateLikeTheMainWindow() {
  auto bar = std::make_unique<TAppBar>();
  bar->setGeometry(367, 110, 325, 584);
  bar->SetFloatRect({367, 110, 367 + 325, 110 + 584});
  bar->SetVertDockSize(250);
  bar->SetSlideEffect(false);
  bar->CreateHandle();
  ImposeMainFormBarValues(*bar);
  bar->ApplyState();
  return bar;
}

void SendMouse(QWidget& w, QEvent::Type type, QPoint global, Qt::MouseButtons buttons) {
  const QPointF local = w.mapFromGlobal(QPointF(global));
  QMouseEvent event(type, local, QPointF(global), Qt::LeftButton, buttons, Qt::NoModifier);
  QApplication::sendEvent(&w, &event);
}

TEST(AppBarWindow, FirstStartFloatsAtTheDesignPosition) {
  auto bar = CreateLikeTheMainWindow();
  QCoreApplication::processEvents();  // the posted end of move
  EXPECT_EQ(bar->Edge(), abeFloat);
  EXPECT_EQ(bar->geometry(), QRect(367, 110, 325, 584));
  EXPECT_EQ(bar->FloatRect(), (TRect{367, 110, 692, 694}));
  EXPECT_TRUE(DefaultToolbarService().IsRegistered(bar.get()));
  EXPECT_EQ(bar->FrameworkHitTest({100, 5}), HTCAPTION) << "floating: own small caption";
  EXPECT_EQ(bar->ClientRect().top(), TAppBar::FrameSize + TAppBar::CaptionHeight);
}

// Floating adds the system-menu style: its close box closes the window; docked, there
// is none.
TEST(AppBarWindow, TheFloatingCaptionHasACloseBox) {
  auto bar = CreateLikeTheMainWindow();
  bar->show();
  QCoreApplication::processEvents();
  const QRect box = bar->CloseBoxRect();
  ASSERT_FALSE(box.isEmpty());
  EXPECT_EQ(bar->FrameworkHitTest(box.center()), HTCLOSE);
  EXPECT_LT(box.bottom(), bar->ClientRect().top()) << "inside the caption";
  EXPECT_GT(box.left(), bar->width() / 2) << "at its right end";
  const QPoint global = bar->mapToGlobal(box.center());

  // Pressed on the box, released off it: nothing, not even a drag.
  SendMouse(*bar, QEvent::MouseButtonPress, global, Qt::LeftButton);
  SendMouse(*bar, QEvent::MouseButtonRelease, global + QPoint(-60, 0), Qt::NoButton);
  EXPECT_TRUE(bar->isVisible());
  EXPECT_EQ(bar->geometry().topLeft(), QPoint(367, 110));

  SendMouse(*bar, QEvent::MouseButtonPress, global, Qt::LeftButton);
  SendMouse(*bar, QEvent::MouseButtonRelease, global, Qt::NoButton);
  EXPECT_FALSE(bar->isVisible()) << "closed";

  bar->show();
  bar->SetEdge(abeLeft);
  EXPECT_TRUE(bar->CloseBoxRect().isEmpty());
  EXPECT_NE(bar->FrameworkHitTest({bar->width() - 8, 8}), HTCLOSE);
  bar->SetEdge(abeFloat);
}

TEST(AppBarWindow, DraggingTheCaptionToTheLeftEdgeDocksAndReleasingOffItFloats) {
  auto bar = CreateLikeTheMainWindow();
  bar->show();
  QCoreApplication::processEvents();
  const QPoint grab = bar->geometry().topLeft() + QPoint(100, 8);
  SendMouse(*bar, QEvent::MouseButtonPress, grab, Qt::LeftButton);
  SendMouse(*bar, QEvent::MouseMove, QPoint(150, 300), Qt::LeftButton);
  SendMouse(*bar, QEvent::MouseMove, QPoint(2, 300), Qt::LeftButton);
  EXPECT_EQ(bar->PendingEdge(), abeLeft);
  EXPECT_EQ(bar->geometry(), QRect(0, 0, 250, Screen().height())) << "the outline snaps";
  SendMouse(*bar, QEvent::MouseButtonRelease, QPoint(2, 300), Qt::NoButton);
  EXPECT_EQ(bar->Edge(), abeLeft);
  EXPECT_EQ(bar->geometry(), QRect(0, 0, 250, Screen().height()));
  EXPECT_EQ(bar->ClientRect().top(), TAppBar::FrameSize) << "docked: no caption";
  EXPECT_EQ(DefaultToolbarService().WorkArea().Left, 250);

  // Sizing from the inner (right) side; the outer one does nothing.
  EXPECT_EQ(bar->HandleHitTest({1, 300}, bar->FrameworkHitTest({1, 300})), HTBORDER);
  SendMouse(*bar, QEvent::MouseButtonPress, QPoint(248, 300), Qt::LeftButton);
  SendMouse(*bar, QEvent::MouseMove, QPoint(278, 300), Qt::LeftButton);
  SendMouse(*bar, QEvent::MouseButtonRelease, QPoint(278, 300), Qt::NoButton);
  EXPECT_EQ(bar->VertDockSize(), 280);
  EXPECT_EQ(DefaultToolbarService().WorkArea().Left, 280);

  // Pulled off the edge by its free client area (the gripper strip).
  auto* image = new QLabel(bar.get());
  image->setGeometry(bar->ClientRect().left(), bar->ClientRect().top(), 12, 12);
  image->show();
  const QPoint onImage = bar->mapToGlobal(image->geometry().center());
  SendMouse(*image, QEvent::MouseButtonPress, onImage, Qt::LeftButton);  // reaches the bar
  SendMouse(*bar, QEvent::MouseMove, QPoint(300, 310), Qt::LeftButton);
  SendMouse(*bar, QEvent::MouseButtonRelease, QPoint(300, 310), Qt::NoButton);
  EXPECT_EQ(bar->Edge(), abeLeft) << "a press on an image does not drag";
  SendMouse(*bar, QEvent::MouseButtonPress, QPoint(100, 300), Qt::LeftButton);
  SendMouse(*bar, QEvent::MouseMove, QPoint(300, 310), Qt::LeftButton);
  SendMouse(*bar, QEvent::MouseButtonRelease, QPoint(300, 310), Qt::NoButton);
  EXPECT_EQ(bar->Edge(), abeFloat);
  EXPECT_EQ(bar->geometry(), QRect(300 - 162, 310, 325, 584));
  EXPECT_EQ(DefaultToolbarService().WorkArea().Left, 0);
}

TEST(AppBarWindow, DestructionUnregisters) {
  auto bar = CreateLikeTheMainWindow();
  bar->SetEdge(abeLeft);
  const TShellBarClient* client = bar.get();
  bar.reset();
  EXPECT_FALSE(DefaultToolbarService().IsRegistered(client));
  EXPECT_EQ(DefaultToolbarService().WorkArea().Left, 0);
}

}  // namespace
}  // namespace quellion
