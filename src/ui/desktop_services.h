#pragma once

#include <QColor>
#include <functional>
#include <optional>

namespace quorvane {

// What the window asks of the desktop. The program passes the desktop's own; tests answer
// for it.
struct DesktopServices {
  // Chooses a colour starting from `initial`; nullopt on Cancel.
  std::function<std::optional<QColor>(const QColor& initial)> chooseColor;
  // Whether a notification area exists to minimise into.
  std::function<bool()> trayAvailable;
};

// Qt's colour dialog and the system tray.
DesktopServices QtDesktopServices();

}  // namespace quorvane
