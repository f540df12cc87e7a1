#pragma once

#include <QFont>

namespace quellion {

// The window design assumes "MS Sans Serif" 8 points at 96 dpi (11 pixels). This is
// the nearest sans serif here, sized in pixels so the designed bounds hold their text
// whatever the screen's dpi.
QFont DesignFont(int pixelSize = 11, bool bold = false);

}  // namespace quellion
