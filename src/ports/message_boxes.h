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

// Shows a modal box and blocks until the user answers it.
class MessageBoxes {
 public:
  virtual ~MessageBoxes() = default;
  virtual BoxAnswer Show(const BoxRequest& box) = 0;
};

}  // namespace quorvane
