#pragma once

#include <QIcon>
#include <QPixmap>

namespace quorvane {

// The program's icon, a clock face drawn at the sizes the window manager and tray ask for.
QIcon AppIcon();

// The same clock face at one size; the package's theme icons are rendered from it.
QPixmap AppIconPixmap(int size);

}  // namespace quorvane
