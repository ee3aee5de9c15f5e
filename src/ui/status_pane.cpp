#include "ui/status_pane.h"

#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>

#include "ui/time_band.h"

namespace quorvane {
namespace {

// The cell of the 8-point system font of a 96-dpi screen.
constexpr int kStatusFontCellHeight = 13;

}  // namespace

QFont StatusBarFont() { return ArialWithCellHeight(kStatusFontCellHeight, false); }

QString StatusPane::ShownText() const {
  return fontMetrics().elidedText(text(), Qt::ElideMiddle, contentsRect().width());
}

bool StatusPane::Elided() const { return ShownText() != text(); }

void StatusPane::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setPen(palette().color(foregroundRole()));
  painter.drawText(contentsRect(), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                   ShownText());
}

bool StatusPane::event(QEvent* e) {
  if (e->type() == QEvent::ToolTip) {
    // Only a cut text needs its tooltip; a whole one is already there to read.
    const auto* help = static_cast<QHelpEvent*>(e);
    if (Elided()) {
      QToolTip::showText(help->globalPos(), text(), this);
    } else {
      QToolTip::hideText();
    }
    return true;
  }
  return QLabel::event(e);
}

}  // namespace quorvane
