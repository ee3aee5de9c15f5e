#pragma once

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QString>
#include <QWidget>
#include <cstdlib>

// Screenshot tests grab windows into PNGs for a person to look at. They run only when
// QUORVANE_SHOTS_DIR names a folder, normally under Xvfb with the xcb platform.
namespace quorvane::testing {

inline QString ShotsDir() {
  const char* dir = std::getenv("QUORVANE_SHOTS_DIR");
  return dir != nullptr ? QString::fromLocal8Bit(dir) : QString();
}

// Lets posted layout and paint events reach the window before it is grabbed.
inline void Settle() {
  for (int i = 0; i < 20; ++i) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

inline void Save(QWidget& widget, const QString& name) {
  Settle();
  EXPECT_TRUE(widget.grab().save(QDir(ShotsDir()).filePath(name))) << name.toStdString();
}

}  // namespace quorvane::testing
