#pragma once

#include <QPixmap>

namespace quellion {

// The product picture of the about box: the application icon, as large as fits and
// centred, on a transparent background.
QPixmap ProductPicture(int width = 97, int height = 81);

}  // namespace quellion
