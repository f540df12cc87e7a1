#include "app/MainFormBar.h"

#include <QPainter>
#include <QWidget>

#include "appbar/AppBar.h"

namespace quellion {

void ImposeMainFormBarValues(TAppBarCore& bar) {
  bar.SetMinWidth(237);
  bar.SetMinHeight(200);
  bar.SetMinVertDockSize(248);
  bar.SetMinHorzDockSize(200);
  bar.SetFlags({abfAllowLeft, abfAllowRight, abfAllowFloat});
  bar.SetHorzSizeInc(1);
  bar.SetVertSizeInc(1);
}

void LayoutByEdge(TAppBarEdge edge, const QRect& client, QWidget* panel1, QWidget* imgMenu,
                  QWidget* imgMin) {
  if (edge == abeUnknown)
    return;
  const QPoint origin = client.topLeft();
  const int menuWidth = imgMenu != nullptr ? imgMenu->width() : 0;
  const int menuHeight = imgMenu != nullptr ? imgMenu->height() : 0;
  const bool tall = edge == abeLeft || edge == abeRight;
  if (panel1 != nullptr) {
    if (tall) {
      panel1->setGeometry(origin.x(), origin.y() + GripperStripSize, client.width(),
                          client.height() - GripperStripSize);
    } else {
      panel1->setGeometry(origin.x() + GripperStripSize, origin.y(),
                          client.width() - GripperStripSize, client.height());
    }
  }
  if (imgMenu != nullptr)
    imgMenu->move(origin);
  if (imgMin != nullptr) {
    imgMin->move(tall ? origin + QPoint(menuWidth + 1, 0) : origin + QPoint(0, menuHeight + 1));
  }
}

void DrawGripper(QPainter& painter, int orientation, const QRect& rect, const QPalette& palette) {
  if (orientation != 0 && orientation != 1)
    return;
  const int l = rect.left();
  const int t = rect.top();
  const int r = rect.left() + rect.width();
  const int b = rect.top() + rect.height();
  const QColor colours[3] = {palette.color(QPalette::Button), palette.color(QPalette::Light),
                             palette.color(QPalette::Dark)};
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, false);
  for (int i = 0; i < 13; ++i) {
    QPen pen(colours[i % 3]);
    pen.setWidth(1);
    painter.setPen(pen);
    // A line from a to b without its end point; a == b paints nothing.
    int from = orientation == 0 ? l + 2 : t + 2;
    int to = orientation == 0 ? r - 1 : b - 1;
    if (from == to)
      continue;
    const int last = to > from ? to - 1 : to + 1;
    if (orientation == 0) {
      painter.drawLine(QPoint(from, t + i), QPoint(last, t + i));
    } else {
      painter.drawLine(QPoint(l + i, from), QPoint(l + i, last));
    }
  }
  painter.restore();
}

void PaintGripperByEdge(QPainter& painter, TAppBarEdge edge, const QRect& client,
                        const QPalette& palette) {
  const QPoint o = client.topLeft();
  switch (edge) {
    case abeLeft:
    case abeRight:
      DrawGripper(painter, 0,
                  QRect(o + QPoint(2 * GripperStripSize, 0),
                        QSize(client.width() - 2 * GripperStripSize, GripperStripSize)),
                  palette);
      break;
    case abeTop:
    case abeBottom:
    case abeFloat:
      DrawGripper(painter, 1,
                  QRect(o + QPoint(0, 2 * GripperStripSize),
                        QSize(GripperStripSize, client.height() - 2 * GripperStripSize)),
                  palette);
      break;
    default:
      break;
  }
}

void MainFormBarResize(TAppBar& form, QWidget* panel1, QWidget* imgMenu, QWidget* imgMin) {
  form.update();
  LayoutByEdge(form.Edge(), form.ClientRect(), panel1, imgMenu, imgMin);
}

void MainFormBarPaint(TAppBar& form, QPainter& painter) {
  PaintGripperByEdge(painter, form.Edge(), form.ClientRect(), form.palette());
}

}  // namespace quellion
