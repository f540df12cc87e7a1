// The program's icon offers a drawn picture at every icon size, so a scaled screen gets
// the larger picture instead of a stretched small one.
#include <gtest/gtest.h>

#include <QImage>
#include <QPixmap>
#include <algorithm>

#include "app/AppIcon.h"

namespace quellion {
namespace {

TEST(ApplicationIcon, EverySizeIsDrawnAndScaleTwoTakesTheLargerPicture) {
  const QIcon icon = ApplicationIcon();
  for (int size : {16, 32, 48, 64, 128, 256})
    EXPECT_TRUE(icon.availableSizes().contains(QSize(size, size))) << size;

  const struct {
    int logical;
    qreal scale;
    int drawn;
  } cases[] = {{32, 1.0, 32}, {32, 2.0, 64}, {64, 2.0, 128}, {128, 2.0, 256}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.logical * c.scale);
    const QPixmap shown = icon.pixmap(QSize(c.logical, c.logical), c.scale);
    EXPECT_EQ(shown.size(), QSize(c.drawn, c.drawn));
    const QImage drawn = QImage(QStringLiteral(":/quellion/icons/quellion-%1.png").arg(c.drawn))
                             .convertToFormat(QImage::Format_ARGB32_Premultiplied);
    ASSERT_FALSE(drawn.isNull());
    // Compared premultiplied: a see-through pixel is see-through whatever its colour.
    QImage picture = shown.toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
    picture.setDevicePixelRatio(1.0);
    int differing = 0;
    for (int y = 0; y < std::min(picture.height(), drawn.height()); ++y)
      for (int x = 0; x < std::min(picture.width(), drawn.width()); ++x)
        differing += picture.pixel(x, y) != drawn.pixel(x, y);
    EXPECT_EQ(differing, 0);
  }
}

}  // namespace
}  // namespace quellion
