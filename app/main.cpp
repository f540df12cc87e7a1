#include <QApplication>

#include "app/MainForm.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Tarnwick Quellion 2"));
  quellion::TMainForm mainForm;
  mainForm.show();
  return QApplication::exec();
}
