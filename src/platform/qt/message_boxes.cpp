#include "platform/qt/message_boxes.h"

namespace quorvane {
namespace {

QMessageBox::Icon QtIcon(BoxIcon icon) {
  switch (icon) {
    case BoxIcon::Exclamation:
      return QMessageBox::Warning;
    case BoxIcon::Question:
      return QMessageBox::Question;
    case BoxIcon::Information:
      return QMessageBox::Information;
    case BoxIcon::None:
      break;
  }
  return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons QtButtons(BoxButtons buttons) {
  switch (buttons) {
    case BoxButtons::OkCancel:
      return QMessageBox::Ok | QMessageBox::Cancel;
    case BoxButtons::YesNo:
      return QMessageBox::Yes | QMessageBox::No;
    case BoxButtons::Ok:
      break;
  }
  return QMessageBox::Ok;
}

QString FromUtf8(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

QtBoxLayout QtMessageBoxes::LayoutOf(const BoxRequest& box) const {
  QtBoxLayout layout;
  layout.icon = QtIcon(box.icon);
  layout.buttons = QtButtons(box.buttons);
  switch (box.kind) {
    case BoxKind::Application:
      layout.caption = applicationName_;
      layout.ownedByMainWindow = true;
      break;
    case BoxKind::Engine:
      layout.caption = QString::fromLatin1(kEngineBoxCaption);
      layout.ownedByMainWindow = true;
      break;
    case BoxKind::Unowned:
      layout.caption = FromUtf8(box.caption);
      break;
  }
  return layout;
}

BoxAnswer QtMessageBoxes::AnswerOf(BoxButtons buttons, int result) {
  switch (buttons) {
    case BoxButtons::OkCancel:
      return result == QMessageBox::Ok ? BoxAnswer::Ok : BoxAnswer::Cancel;
    case BoxButtons::YesNo:
      return result == QMessageBox::Yes ? BoxAnswer::Yes : BoxAnswer::No;
    case BoxButtons::Ok:
      break;
  }
  return BoxAnswer::Ok;
}

BoxAnswer QtMessageBoxes::Show(const BoxRequest& request) {
  const QtBoxLayout layout = LayoutOf(request);
  QWidget* parent = layout.ownedByMainWindow ? mainWindow_.data() : nullptr;
  QMessageBox box(layout.icon, layout.caption, FromUtf8(request.text), layout.buttons, parent);
  // The texts are the program's own, shown as written; a '<' must not turn them into markup.
  box.setTextFormat(Qt::PlainText);
  return AnswerOf(request.buttons, box.exec());
}

}  // namespace quorvane
