#pragma once

#include <QMessageBox>
#include <QPointer>
#include <QString>
#include <QWidget>

#include "ports/message_boxes.h"

namespace quorvane {

// What a box request becomes on screen, worked out apart from showing it.
struct QtBoxLayout {
  QString caption;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QMessageBox::StandardButtons buttons = QMessageBox::Ok;
  bool ownedByMainWindow = false;
};

// Modal boxes with QMessageBox. Application boxes carry the application's name as caption,
// the engine's carry "Message from Quorvane"; both are owned by the main window once it
// exists. Unowned boxes carry their own caption and no owner.
class QtMessageBoxes : public MessageBoxes {
 public:
  explicit QtMessageBoxes(QString applicationName) : applicationName_(std::move(applicationName)) {}

  void SetMainWindow(QWidget* window) { mainWindow_ = window; }
  BoxAnswer Show(const BoxRequest& box) override;

  QtBoxLayout LayoutOf(const BoxRequest& box) const;
  // The answer a button stands for; a box closed without a button gives the negative one.
  static BoxAnswer AnswerOf(BoxButtons buttons, int result);

 private:
  QString applicationName_;
  QPointer<QWidget> mainWindow_;
};

}  // namespace quorvane
