#include <gtest/gtest.h>

#include <QApplication>

// The main of the Qt test programs. Headless unless told otherwise: test discovery
// runs the binary without the CTest environment, so it must never need a display.
int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Tarnwick Quellion 2"));
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
