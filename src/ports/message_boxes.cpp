#include "ports/message_boxes.h"

#include <utility>

namespace quorvane {

BoxRequest ApplicationBox(std::string text, BoxButtons buttons) {
  BoxRequest box;
  box.kind = BoxKind::Application;
  box.text = std::move(text);
  box.buttons = buttons;
  box.icon = buttons == BoxButtons::YesNo ? BoxIcon::Question : BoxIcon::Exclamation;
  return box;
}

BoxRequest EngineBox(std::string text) {
  BoxRequest box;
  box.kind = BoxKind::Engine;
  box.text = std::move(text);
  box.caption = kEngineBoxCaption;
  return box;
}

BoxRequest UnownedBox(std::string caption, std::string text) {
  BoxRequest box;
  box.kind = BoxKind::Unowned;
  box.text = std::move(text);
  box.icon = BoxIcon::None;
  box.caption = std::move(caption);
  return box;
}

BoxAnswer BoxGate::Show(const BoxRequest& box) {
  if (waiting_) {
    switch (box.buttons) {
      case BoxButtons::Ok:
        return BoxAnswer::Ok;
      case BoxButtons::OkCancel:
        return BoxAnswer::Cancel;
      case BoxButtons::YesNo:
        return BoxAnswer::No;
    }
  }
  waiting_ = true;
  const BoxAnswer answer = screen_.Show(box);
  waiting_ = false;
  return answer;
}

}  // namespace quorvane
