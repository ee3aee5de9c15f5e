#include "ui/dialog_keys.h"

#include <QDialog>
#include <QKeyEvent>
#include <QPushButton>
#include <QRadioButton>
#include <algorithm>

namespace quorvane {
namespace {

bool IsEnter(const QEvent* event) {
  if (event->type() != QEvent::KeyPress) return false;
  const int key = static_cast<const QKeyEvent*>(event)->key();
  return key == Qt::Key_Return || key == Qt::Key_Enter;
}

class FocusedButtonPresser : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    auto* button = qobject_cast<QPushButton*>(watched);
    if (button == nullptr || !IsEnter(event) || !button->isEnabled()) return false;
    button->click();
    return true;
  }
};

class RadioGroupKeys : public QObject {
 public:
  explicit RadioGroupKeys(std::vector<QRadioButton*> buttons)
      : QObject(buttons.front()), buttons_(std::move(buttons)) {
    for (QRadioButton* button : buttons_) {
      button->installEventFilter(this);
      connect(button, &QRadioButton::toggled, this, &RadioGroupKeys::UpdateTabStop);
      // The dialog may disable and enable the group while it handles the click, which sends
      // the focus elsewhere: it comes back to the button chosen.
      connect(button, &QRadioButton::clicked, this, [button] {
        if (button->isEnabled()) button->setFocus(Qt::OtherFocusReason);
      });
    }
    UpdateTabStop();
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::KeyPress) return false;
    const int key = static_cast<QKeyEvent*>(event)->key();
    int direction = 0;
    if (key == Qt::Key_Down || key == Qt::Key_Right) direction = 1;
    if (key == Qt::Key_Up || key == Qt::Key_Left) direction = -1;
    const auto at = std::find(buttons_.begin(), buttons_.end(), watched);
    if (direction == 0 || at == buttons_.end()) return false;
    const int count = static_cast<int>(buttons_.size());
    int i = static_cast<int>(at - buttons_.begin());
    for (int step = 1; step < count; ++step) {
      QRadioButton* next =
          buttons_[static_cast<size_t>(((i + direction * step) % count + count) % count)];
      if (!next->isEnabled()) continue;
      next->setFocus(Qt::TabFocusReason);
      // Clicked, not only checked: the dialog reacts to the choice as to a mouse click.
      if (!next->isChecked()) next->click();
      break;
    }
    return true;
  }

 private:
  // Only the checked button takes Tab; the others are reached with the arrows or the mouse.
  void UpdateTabStop() {
    const auto checked = std::find_if(buttons_.begin(), buttons_.end(),
                                      [](const QRadioButton* b) { return b->isChecked(); });
    const QRadioButton* stop = checked != buttons_.end() ? *checked : buttons_.front();
    for (QRadioButton* button : buttons_) {
      button->setFocusPolicy(button == stop ? Qt::StrongFocus : Qt::ClickFocus);
    }
  }

  std::vector<QRadioButton*> buttons_;
};

}  // namespace

void PressFocusedButtonOnEnter(QDialog& dialog) {
  auto* presser = new FocusedButtonPresser(&dialog);
  for (QPushButton* button : dialog.findChildren<QPushButton*>()) {
    button->installEventFilter(presser);
  }
}

void MakeRadioGroup(std::vector<QRadioButton*> buttons) {
  if (!buttons.empty()) new RadioGroupKeys(std::move(buttons));
}

}  // namespace quorvane
