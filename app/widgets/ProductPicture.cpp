#include "app/widgets/ProductPicture.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

namespace quellion {

QPixmap ProductPicture(int width, int height) {
  // Drawn on a 97 x 81 design and scaled to the size asked for.
  QPixmap picture(width, height);
  picture.fill(Qt::transparent);
  QPainter p(&picture);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(width / 97.0, height / 81.0);

  // The globe: an ocean sphere with two continents and a meridian grid.
  const QRectF globe(6, 6, 62, 62);
  QRadialGradient ocean(globe.center() - QPointF(10, 10), 40);
  ocean.setColorAt(0, QColor(120, 180, 255));
  ocean.setColorAt(1, QColor(10, 60, 160));
  p.setPen(QPen(QColor(0, 30, 90), 1.5));
  p.setBrush(ocean);
  p.drawEllipse(globe);

  QPainterPath clip;
  clip.addEllipse(globe);
  p.save();
  p.setClipPath(clip);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(40, 150, 60));
  QPainterPath land;
  land.moveTo(18, 16);
  land.cubicTo(30, 8, 42, 14, 38, 26);
  land.cubicTo(34, 36, 24, 30, 20, 40);
  land.cubicTo(14, 34, 10, 24, 18, 16);
  land.moveTo(44, 40);
  land.cubicTo(56, 36, 64, 46, 58, 58);
  land.cubicTo(50, 64, 44, 56, 44, 40);
  p.drawPath(land);
  p.setPen(QPen(QColor(255, 255, 255, 90), 1));
  p.setBrush(Qt::NoBrush);
  for (int i = 1; i < 4; ++i) {
    const double w = globe.width() * i / 4.0;
    p.drawEllipse(QRectF(globe.center().x() - w / 2, globe.top(), w, globe.height()));
  }
  for (int i = 1; i < 4; ++i) {
    const double y = globe.top() + globe.height() * i / 4.0;
    p.drawLine(QPointF(globe.left(), y), QPointF(globe.right(), y));
  }
  p.restore();

  // The magnifying glass over the globe's lower right.
  const QRectF lens(44, 30, 32, 32);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(90, 60, 30));
  QPainterPath handle;
  handle.moveTo(72, 58);
  handle.lineTo(92, 76);
  handle.lineTo(87, 80);
  handle.lineTo(67, 62);
  handle.closeSubpath();
  p.drawPath(handle);
  QLinearGradient glass(lens.topLeft(), lens.bottomRight());
  glass.setColorAt(0, QColor(255, 255, 255, 170));
  glass.setColorAt(1, QColor(200, 230, 255, 90));
  p.setBrush(glass);
  p.setPen(QPen(QColor(60, 60, 60), 4));
  p.drawEllipse(lens);
  p.setPen(QPen(QColor(255, 255, 255, 200), 2));
  p.drawArc(lens.adjusted(6, 6, -6, -6), 100 * 16, 70 * 16);
  return picture;
}

}  // namespace quellion
