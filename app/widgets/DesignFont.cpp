#include "app/widgets/DesignFont.h"

#include <QFontDatabase>
#include <QStringList>

namespace quellion {

QFont DesignFont(int pixelSize, bool bold) {
  // Liberation Sans has the metrics of the design's Arial-like sans; DejaVu Sans is
  // wider and only the fall-back.
  static const QString family = [] {
    const QStringList families = QFontDatabase::families();
    for (const QString& candidate : {QStringLiteral("Liberation Sans"), QStringLiteral("Arial"),
                                     QStringLiteral("DejaVu Sans")}) {
      if (families.contains(candidate))
        return candidate;
    }
    return QStringLiteral("Sans Serif");
  }();
  QFont font(family);
  font.setPixelSize(pixelSize);
  font.setBold(bold);
  font.setStyleHint(QFont::SansSerif);
  return font;
}

}  // namespace quellion
