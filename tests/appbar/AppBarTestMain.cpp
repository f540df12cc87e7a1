#include <gtest/gtest.h>

#include <QApplication>

// The window tests need an application object; the core tests do not mind one.
int main(int argc, char** argv) {
  QApplication application(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
