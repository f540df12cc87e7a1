#pragma once

#include <QIcon>

namespace quellion {

// The program's icon with every size the desktop's icon theme holds (16 to 256 pixels),
// so that Qt picks a drawn picture, not a stretched one, at any size and screen scale.
QIcon ApplicationIcon();

}  // namespace quellion
