#pragma once

#include <QIcon>

namespace quorvane {

// The program's icon, a clock face drawn at the sizes the window manager and tray ask for.
QIcon AppIcon();

}  // namespace quorvane
