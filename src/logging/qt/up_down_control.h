#pragma once

#include <QWidget>

class QLineEdit;
class QToolButton;

namespace quorvane {

// A pair of arrows that steps a number held in a buddy edit, within a range. The buddy's
// text is the number: a step starts from what the buddy shows, and every position is
// written back into it. The arrow keys step it too while the buddy has the focus.
class UpDownControl : public QWidget {
  Q_OBJECT

 public:
  UpDownControl(QLineEdit* buddy, QWidget* parent);

  void SetRange(int low, int high);
  // Puts a position outside the range at its nearest end.
  void SetPosition(int position);
  int Position() const { return position_; }
  void Step(int delta);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  int Clamped(int value) const;

  QLineEdit* buddy_;
  QToolButton* up_;
  QToolButton* down_;
  int low_ = 0;
  int high_ = 100;
  int position_ = 0;
};

}  // namespace quorvane
