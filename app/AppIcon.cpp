#include "app/AppIcon.h"

// A static library registers its resources itself (outside any namespace, as the macro
// declares a global function).
static void InitIconResources() {
  Q_INIT_RESOURCE(quellion_icons);
}

namespace quellion {

QIcon ApplicationIcon() {
  InitIconResources();
  QIcon icon;
  for (int size : {16, 32, 48, 64, 128, 256})
    icon.addFile(QStringLiteral(":/quellion/icons/quellion-%1.png").arg(size), QSize(size, size));
  return icon;
}

}  // namespace quellion
