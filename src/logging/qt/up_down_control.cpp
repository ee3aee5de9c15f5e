#include "logging/qt/up_down_control.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QToolButton>
#include <algorithm>

namespace quorvane {

UpDownControl::UpDownControl(QLineEdit* buddy, QWidget* parent)
    : QWidget(parent), buddy_(buddy), up_(new QToolButton(this)), down_(new QToolButton(this)) {
  up_->setObjectName(QStringLiteral("up"));
  down_->setObjectName(QStringLiteral("down"));
  for (QToolButton* arrow : {up_, down_}) {
    arrow->setAutoRepeat(true);
    arrow->setFocusPolicy(Qt::NoFocus);
  }
  up_->setArrowType(Qt::UpArrow);
  down_->setArrowType(Qt::DownArrow);
  connect(up_, &QToolButton::clicked, this, [this] { Step(1); });
  connect(down_, &QToolButton::clicked, this, [this] { Step(-1); });
  buddy_->installEventFilter(this);
}

void UpDownControl::SetRange(int low, int high) {
  low_ = std::min(low, high);
  high_ = std::max(low, high);
}

int UpDownControl::Clamped(int value) const { return std::clamp(value, low_, high_); }

void UpDownControl::SetPosition(int position) {
  position_ = Clamped(position);
  buddy_->setText(QString::number(position_));
}

void UpDownControl::Step(int delta) {
  bool ok = false;
  const int shown = buddy_->text().toInt(&ok);
  const int from = Clamped(ok ? shown : position_);
  // Within the range no step can overflow.
  SetPosition(Clamped(from + delta));
}

bool UpDownControl::eventFilter(QObject* watched, QEvent* event) {
  if (watched == buddy_ && event->type() == QEvent::KeyPress && isEnabled()) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Up || key == Qt::Key_Down) {
      Step(key == Qt::Key_Up ? 1 : -1);
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

void UpDownControl::resizeEvent(QResizeEvent* event) {
  const int half = height() / 2;
  up_->setGeometry(0, 0, width(), half);
  down_->setGeometry(0, half, width(), height() - half);
  QWidget::resizeEvent(event);
}

}  // namespace quorvane
