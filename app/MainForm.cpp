#include "app/MainForm.h"

namespace quellion {

TMainForm::TMainForm(QWidget* parent) : QWidget(parent) {
  setWindowTitle(QStringLiteral("Tarnwick Quellion 2"));
  setGeometry(367, 110, 325, 584);
}

}  // namespace quellion
