#include "app/widgets/ProductPicture.h"

#include <QImage>
#include <QPainter>
#include <algorithm>

static void InitIconResources() {
  Q_INIT_RESOURCE(quellion_icons);
}

namespace quellion {

QPixmap ProductPicture(int width, int height) {
  InitIconResources();
  QPixmap picture(width, height);
  picture.fill(Qt::transparent);
  const int side = std::min(width, height);
  if (side <= 0)
    return picture;
  // Scaled down from the largest rendering, which keeps the edges smooth at any size.
  const QImage icon = QImage(QStringLiteral(":/quellion/icons/quellion-256.png"))
                          .scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation);
  QPainter p(&picture);
  p.drawImage((width - icon.width()) / 2, (height - icon.height()) / 2, icon);
  return picture;
}

}  // namespace quellion
