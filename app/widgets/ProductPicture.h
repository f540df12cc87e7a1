#pragma once

#include <QPixmap>

namespace quellion {

// The product picture of the about box: a globe under a magnifying glass, drawn in
// code (transparent background).
QPixmap ProductPicture(int width = 97, int height = 81);

}  // namespace quellion
