#include "ui/desktop_services.h"

#include <QColorDialog>
#include <QSystemTrayIcon>

namespace quorvane {
namespace {

std::optional<QColor> RunColorDialog(const QColor& initial) {
  // Custom colours start black for every call, whatever an earlier call left there.
  for (int i = 0; i < QColorDialog::customCount(); ++i) {
    QColorDialog::setCustomColor(i, QColor(Qt::black));
  }
  // No owner window: the dialog stands on its own, as the colour chooser always has.
  QColorDialog dialog(initial);
  // Qt's own dialog shows the custom colours; a desktop's native one might not.
  dialog.setOption(QColorDialog::DontUseNativeDialog);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.selectedColor();
}

}  // namespace

DesktopServices QtDesktopServices() {
  return {RunColorDialog, [] { return QSystemTrayIcon::isSystemTrayAvailable(); }};
}

}  // namespace quorvane
