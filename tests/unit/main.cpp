#include <gtest/gtest.h>

#include <QApplication>

// Unit tests run with the offscreen platform: widgets exist, nothing is shown.
int main(int argc, char** argv) {
  QApplication app(argc, argv);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
