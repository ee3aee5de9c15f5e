#include "ui/time_band.h"

#include <QFontMetrics>
#include <QPainter>
#include <QResizeEvent>
#include <algorithm>

#include "base/local_time.h"
#include "ui/accessibility.h"

namespace quorvane {

QColor ColorFromColorRef(uint32_t colorRef) {
  return QColor(static_cast<int>(colorRef & 0xFF), static_cast<int>((colorRef >> 8) & 0xFF),
                static_cast<int>((colorRef >> 16) & 0xFF));
}

uint32_t ColorRefFromColor(const QColor& color) {
  const QColor rgb = color.toRgb();
  return static_cast<uint32_t>(rgb.red()) | (static_cast<uint32_t>(rgb.green()) << 8) |
         (static_cast<uint32_t>(rgb.blue()) << 16);
}

QFont ArialWithCellHeight(int cellHeight, bool bold) {
  QFont font(QStringLiteral("Arial"));
  font.setStyleHint(QFont::SansSerif);
  font.setBold(bold);
  font.setPixelSize(cellHeight);
  // The height is the whole character cell, leading included, as the original font
  // request meant it; Qt's pixel size is the em, which is smaller than the cell.
  const int measured = QFontMetrics(font).height();
  if (measured > cellHeight) {
    font.setPixelSize(std::max(1, (cellHeight * cellHeight + measured / 2) / measured));
  }
  return font;
}

std::string TimeBandText(int64_t unixSeconds) { return FormatLocalTime(unixSeconds, kTimePattern); }

void TimeDisplay::MakeSharedFont() {
  sharedFont_ = ArialWithCellHeight(kSharedFontCellHeight, false);
}

TimeBand::TimeBand(const TimeDisplay& display, Clock& clock, QWidget* parent)
    : QWidget(parent),
      display_(display),
      clock_(clock),
      background_(ColorFromColorRef(display.BackGroundColor())) {
  // The pixmap covers every pixel, so Qt need not clear the widget first.
  setAttribute(Qt::WA_OpaquePaintEvent);
  InstallAccessibleInterfaces();
}

void TimeBand::resizeEvent(QResizeEvent* e) {
  const QSize size = e->size();
  const qreal ratio = devicePixelRatioF();
  if (size.isEmpty()) {
    pixmap_ = QPixmap();
  } else {
    pixmap_ = QPixmap(size * ratio);
    pixmap_.setDevicePixelRatio(ratio);
    pixmap_.fill(background_);
  }
  timeFont_ = ArialWithCellHeight(kTimeFontCellHeight, true);
  QWidget::resizeEvent(e);
}

void TimeBand::ShowTime() {
  Draw(QString::fromStdString(TimeBandText(clock_.WallSeconds())),
       ColorFromColorRef(display_.ForeGroundColor()),
       ColorFromColorRef(display_.BackGroundColor()));
}

void TimeBand::Draw(const QString& text, const QColor& foreground, const QColor& background) {
  // A minimised window has no band to draw on; the tick still runs.
  background_ = background;
  shown_ = text;
  if (pixmap_.isNull()) return;
  QPainter painter(&pixmap_);
  const QRect all(QPoint(0, 0), size());
  painter.fillRect(all, background);
  painter.setPen(foreground);
  painter.setFont(timeFont_);
  // The text sits one row below the band's centre, as on the original screen copy.
  painter.drawText(all.translated(0, 1), Qt::AlignCenter | Qt::TextSingleLine, text);
  painter.end();
  update();
}

void TimeBand::paintEvent(QPaintEvent*) {
  if (pixmap_.isNull()) return;
  QPainter painter(this);
  painter.drawPixmap(0, 0, pixmap_);
}

}  // namespace quorvane
