#include <gtest/gtest.h>

#include <QApplication>

#include "app/widgets/DesignFont.h"

int main(int argc, char** argv) {
  // Test discovery runs the binary without the test's environment: stay headless.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  QApplication::setFont(quellion::DesignFont());
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
