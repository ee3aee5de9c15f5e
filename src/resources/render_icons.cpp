// Renders the program's icon into a hicolor theme tree for the package, from the same
// drawing the window uses, so there is no second copy of the icon to keep in step.
// Usage: quorvane_render_icons OUTPUT_DIR ICON_NAME SIZE...

#include <QDir>
#include <QGuiApplication>
#include <cstdio>
#include <cstdlib>

#include "ui/app_icon.h"

int main(int argc, char** argv) {
  // A build machine has no display.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication application(argc, argv);
  if (argc < 4) {
    std::fprintf(stderr, "usage: %s OUTPUT_DIR ICON_NAME SIZE...\n", argv[0]);
    return 2;
  }
  const QString output = QString::fromLocal8Bit(argv[1]);
  const QString name = QString::fromLocal8Bit(argv[2]);
  for (int i = 3; i < argc; ++i) {
    const int size = std::atoi(argv[i]);
    const QString folder = QStringLiteral("%1/%2x%2/apps").arg(output).arg(size);
    const QString file = QStringLiteral("%1/%2.png").arg(folder, name);
    if (size <= 0 || !QDir().mkpath(folder) || !quorvane::AppIconPixmap(size).save(file, "PNG")) {
      std::fprintf(stderr, "could not write %s\n", qPrintable(file));
      return 1;
    }
  }
  return 0;
}
