#pragma once

#include <deque>
#include <functional>
#include <vector>

#include "ports/message_boxes.h"

namespace quorvane::testing {

// Records every box and answers from a queue (OK, or Yes, when the queue is empty).
class FakeMessageBoxes : public MessageBoxes {
 public:
  std::vector<BoxRequest> shown;
  std::deque<BoxAnswer> answers;
  std::function<void(const BoxRequest&)> onShow;

  BoxAnswer Show(const BoxRequest& box) override {
    shown.push_back(box);
    if (onShow) onShow(box);
    if (!answers.empty()) {
      const BoxAnswer a = answers.front();
      answers.pop_front();
      return a;
    }
    return box.buttons == BoxButtons::YesNo ? BoxAnswer::Yes : BoxAnswer::Ok;
  }
  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (const auto& b : shown) texts.push_back(b.text);
    return texts;
  }
};

}  // namespace quorvane::testing
