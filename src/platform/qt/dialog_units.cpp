#include "platform/qt/dialog_units.h"

#include <QFont>
#include <QFontDatabase>
#include <QFontMetrics>

namespace quorvane {

QRect DialogUnitsToPixels(const QFontMetrics& metrics, int x, int y, int width, int height) {
  const int bx = metrics.averageCharWidth();
  const int by = metrics.height();
  return QRect(x * bx / 4, y * by / 8, width * bx / 4, height * by / 8);
}

void UseTemplateFont(QDialog& dialog, int points, const char* face) {
  const QString wanted = QString::fromLatin1(face);
  QFont font(QFontDatabase::hasFamily(wanted) ? wanted : QStringLiteral("Arial"));
  font.setStyleHint(QFont::SansSerif);
  font.setPointSize(points);
  dialog.setFont(font);
}

}  // namespace quorvane
