#pragma once

#include <string>

namespace quorvane {

enum class BoxButtons { Ok, OkCancel, YesNo };
enum class BoxIcon { None, Exclamation, Question, Information };
enum class BoxAnswer { Ok, Cancel, Yes, No };

// Who owns a box decides its caption.
enum class BoxKind {
  Application,  // caption: the application's name (the executable's base name)
  Engine,       // caption: "Message from Quorvane", owned by the main window
  Unowned,      // caption given in the request, no owner window
};

inline constexpr const char* kEngineBoxCaption = "Message from Quorvane";

struct BoxRequest {
  BoxKind kind = BoxKind::Application;
  std::string text;
  BoxButtons buttons = BoxButtons::Ok;
  BoxIcon icon = BoxIcon::Exclamation;
  std::string caption;  // used for BoxKind::Unowned only

  bool operator==(const BoxRequest&) const = default;
};

// Application box: exclamation for OK and OK/Cancel, question for Yes/No unless an icon is named.
BoxRequest ApplicationBox(std::string text, BoxButtons buttons = BoxButtons::Ok);
// The engine's own box: OK, exclamation, caption "Message from Quorvane".
BoxRequest EngineBox(std::string text);
// A box with its own caption, OK button and no icon.
BoxRequest UnownedBox(std::string caption, std::string text);

// Shows a modal box and blocks until the user answers it. While it waits, the event loop
// runs on: timer ticks, socket notifications and the worker's messages are handled inside
// the call. User-interface thread only.
class MessageBoxes {
 public:
  virtual ~MessageBoxes() = default;
  virtual BoxAnswer Show(const BoxRequest& box) = 0;
};

// The boxes that the program opens on its own, without the user asking (the engine's, the
// log's, the listen-mode warning), shown one at a time. A user away from the screen must not
// come back to a pile of boxes nested in each other's event loops, which would end in a
// stack overflow; so while one of them waits, another is not shown but answered at once
// with its negative answer (OK for an OK box), and the timer starts no new attempt.
class BoxGate : public MessageBoxes {
 public:
  explicit BoxGate(MessageBoxes& screen) : screen_(screen) {}
  BoxAnswer Show(const BoxRequest& box) override;
  // True while one of these boxes waits for the user.
  bool Waiting() const { return waiting_; }

 private:
  MessageBoxes& screen_;
  bool waiting_ = false;
};

}  // namespace quorvane
