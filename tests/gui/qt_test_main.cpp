#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

#include "app/qt/quorvane_app.h"

// Test discovery runs this binary at build time without the test environment, so the
// platform is chosen here when nobody chose it, before the application exists.
int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication application(argc, argv);
  // Every window test sees the formats the program itself runs with.
  quorvane::UseCFormatsForTimesAndNumbers();
  return RUN_ALL_TESTS();
}
