#include "app/FlexActive.h"

namespace quellion {

TFlexActive::TFlexActive(QWidget* parent) : QFrame(parent) {
  setFrameShape(QFrame::NoFrame);
}

TFlexActivePlus::TFlexActivePlus(QWidget* parent) : QFrame(parent) {
  setFrameShape(QFrame::NoFrame);
}

}  // namespace quellion
