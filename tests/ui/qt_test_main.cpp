#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

// Test discovery runs this binary at build time without the test environment, so the
// platform is chosen here when nobody chose it, before the application exists.
int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication application(argc, argv);
  return RUN_ALL_TESTS();
}
