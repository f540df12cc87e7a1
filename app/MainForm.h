#pragma once

#include <QWidget>

namespace quellion {

// The main window. Controls arrive with the desktop window.
class TMainForm : public QWidget {
  Q_OBJECT

 public:
  explicit TMainForm(QWidget* parent = nullptr);
};

}  // namespace quellion
