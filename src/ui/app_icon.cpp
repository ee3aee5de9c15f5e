#include "ui/app_icon.h"

#include <QPainter>
#include <QPixmap>
#include <cmath>

namespace quorvane {

QPixmap AppIconPixmap(int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  const qreal s = size;
  const QPointF centre(s / 2, s / 2);
  p.setPen(QPen(QColor(0, 64, 160), s / 16));
  p.setBrush(QColor(0, 128, 255));
  p.drawEllipse(centre, s * 0.44, s * 0.44);
  // Hour marks at twelve, three, six and nine.
  p.setPen(QPen(QColor(249, 192, 0), s / 14, Qt::SolidLine, Qt::RoundCap));
  for (int i = 0; i < 4; ++i) {
    const double a = i * M_PI / 2;
    p.drawLine(centre + QPointF(std::sin(a), -std::cos(a)) * s * 0.30,
               centre + QPointF(std::sin(a), -std::cos(a)) * s * 0.38);
  }
  p.setPen(QPen(QColor(249, 192, 0), s / 10, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(centre, centre + QPointF(0, -s * 0.30));
  p.drawLine(centre, centre + QPointF(s * 0.22, s * 0.08));
  return pixmap;
}

QIcon AppIcon() {
  static const QIcon icon = [] {
    QIcon i;
    for (int size : {16, 22, 32, 48, 64}) i.addPixmap(AppIconPixmap(size));
    return i;
  }();
  return icon;
}

}  // namespace quorvane
