#include "platform/qt/message_boxes.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QTimer>
#include <functional>

namespace quorvane {
namespace {

// What the box on screen looked like, and the button the "user" pressed.
struct SeenBox {
  QString title;
  QString text;
  Qt::TextFormat format = Qt::AutoText;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QMessageBox::StandardButtons buttons;
  QWidget* parent = nullptr;
  bool seen = false;
};

// Shows the request and answers the box from inside its own modal loop.
BoxAnswer ShowAndAnswer(QtMessageBoxes& boxes, const BoxRequest& request, SeenBox& seen,
                        const std::function<void(QMessageBox&)>& answer) {
  QTimer::singleShot(0, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr) return;
    seen = {
        box->windowTitle(),  box->text(), box->textFormat(), box->icon(), box->standardButtons(),
        box->parentWidget(), true};
    answer(*box);
  });
  return boxes.Show(request);
}

std::function<void(QMessageBox&)> Press(QMessageBox::StandardButton button) {
  return [button](QMessageBox& box) { box.button(button)->click(); };
}

struct AnswerCase {
  BoxButtons buttons;
  QMessageBox::StandardButtons shown;
  QMessageBox::StandardButton pressed;  // NoButton: the box is closed from its title bar
  BoxAnswer expected;
};

TEST(QtMessageBoxesTest, ButtonsShownAndTheAnswerEachStandsFor) {
  const AnswerCase cases[] = {
      {BoxButtons::Ok, QMessageBox::Ok, QMessageBox::Ok, BoxAnswer::Ok},
      {BoxButtons::Ok, QMessageBox::Ok, QMessageBox::NoButton, BoxAnswer::Ok},
      {BoxButtons::OkCancel, QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Ok, BoxAnswer::Ok},
      {BoxButtons::OkCancel, QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Cancel,
       BoxAnswer::Cancel},
      {BoxButtons::OkCancel, QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::NoButton,
       BoxAnswer::Cancel},
      {BoxButtons::YesNo, QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes, BoxAnswer::Yes},
      {BoxButtons::YesNo, QMessageBox::Yes | QMessageBox::No, QMessageBox::No, BoxAnswer::No},
      {BoxButtons::YesNo, QMessageBox::Yes | QMessageBox::No, QMessageBox::NoButton, BoxAnswer::No},
  };
  QtMessageBoxes boxes("Quorvane");
  for (const AnswerCase& c : cases) {
    SeenBox seen;
    auto answer = c.pressed == QMessageBox::NoButton
                      ? std::function<void(QMessageBox&)>([](QMessageBox& box) { box.reject(); })
                      : Press(c.pressed);
    const BoxAnswer got = ShowAndAnswer(boxes, ApplicationBox("Go on?", c.buttons), seen, answer);
    ASSERT_TRUE(seen.seen);
    EXPECT_EQ(seen.buttons, c.shown);
    EXPECT_EQ(got, c.expected) << "buttons " << static_cast<int>(c.buttons) << ", pressed "
                               << c.pressed;
  }
}

struct CaptionCase {
  BoxRequest request;
  const char* title;
  QMessageBox::Icon icon;
  bool ownedByWindow;
};

TEST(QtMessageBoxesTest, CaptionIconAndOwnerFollowWhoAsks) {
  QWidget mainWindow;
  QtMessageBoxes boxes("Quorvane");
  boxes.SetMainWindow(&mainWindow);
  BoxRequest information = ApplicationBox("Done.");
  information.icon = BoxIcon::Information;
  BoxRequest plain = ApplicationBox("Plain.");
  plain.icon = BoxIcon::None;
  const CaptionCase cases[] = {
      {ApplicationBox("Stop?", BoxButtons::OkCancel), "Quorvane", QMessageBox::Warning, true},
      {ApplicationBox("Keep?", BoxButtons::YesNo), "Quorvane", QMessageBox::Question, true},
      {information, "Quorvane", QMessageBox::Information, true},
      {plain, "Quorvane", QMessageBox::NoIcon, true},
      {EngineBox("Neither server."), "Message from Quorvane", QMessageBox::Warning, true},
      {UnownedBox("Failed to Set System Clock", "Operation not permitted"),
       "Failed to Set System Clock", QMessageBox::NoIcon, false},
  };
  for (const CaptionCase& c : cases) {
    SeenBox seen;
    ShowAndAnswer(boxes, c.request, seen, [](QMessageBox& box) { box.accept(); });
    ASSERT_TRUE(seen.seen);
    EXPECT_EQ(seen.title.toStdString(), c.title);
    EXPECT_EQ(seen.text.toStdString(), c.request.text);
    EXPECT_EQ(seen.icon, c.icon) << c.request.text;
    EXPECT_EQ(seen.parent, c.ownedByWindow ? &mainWindow : nullptr) << c.request.text;
  }
}

TEST(QtMessageBoxesTest, BeforeTheMainWindowExistsBoxesHaveNoOwner) {
  QtMessageBoxes boxes("Quorvane");
  SeenBox seen;
  ShowAndAnswer(boxes, EngineBox("Message from Quorvane: Unknown Socket Mode!"), seen,
                Press(QMessageBox::Ok));
  ASSERT_TRUE(seen.seen);
  EXPECT_EQ(seen.parent, nullptr);
}

TEST(QtMessageBoxesTest, TextThatLooksLikeMarkupIsShownAsWritten) {
  QtMessageBoxes boxes("Quorvane");
  SeenBox seen;
  const std::string text = "Server <b>x</b> & y\nline two";
  ShowAndAnswer(boxes, ApplicationBox(text), seen, Press(QMessageBox::Ok));
  ASSERT_TRUE(seen.seen);
  EXPECT_EQ(seen.format, Qt::PlainText);
  EXPECT_EQ(seen.text.toStdString(), text);
}

}  // namespace
}  // namespace quorvane
