#include <gtest/gtest.h>

#include <QApplication>

// The window tests need an application object; the core tests do not mind one.
// Headless unless told otherwise (test discovery runs without the CTest environment).
int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
