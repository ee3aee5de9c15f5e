#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include "gui/ui_test_support.h"
#include "ui/help_dialogs.h"
#include "ui/main_window.h"

namespace quorvane::testing {
namespace {

// The web-site button opens the home page through the window and leaves the box open.
TEST(HelpDialogs, AboutWebButtonKeepsTheBoxOpen) {
  int opened = 0;
  CHelpAboutDialog dialog([&] { ++opened; });
  dialog.show();
  auto* web = dialog.findChild<QPushButton*>("about_web");
  ASSERT_NE(web, nullptr);
  web->click();
  EXPECT_EQ(opened, 1);
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_EQ(dialog.windowTitle(), QStringLiteral("About Quorvane"));
  EXPECT_EQ(dialog.findChild<QLabel*>("about_text")->text(), QStringLiteral("Quorvane v2.0..."));
  EXPECT_TRUE(dialog.findChild<QPushButton*>("about_ok")->isDefault());
}

TEST(HelpDialogs, EnterAndEscapeCloseBoth) {
  for (int key : {Qt::Key_Return, Qt::Key_Escape}) {
    CHelpAboutDialog about([] {});
    CHelpWhatToDoDialog instructions;
    for (QDialog* d : {static_cast<QDialog*>(&about), static_cast<QDialog*>(&instructions)}) {
      d->show();
      QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
      QApplication::sendEvent(d->focusWidget() ? d->focusWidget() : d, &press);
      EXPECT_FALSE(d->isVisible()) << key;
      EXPECT_EQ(d->result(), key == Qt::Key_Return ? QDialog::Accepted : QDialog::Rejected);
    }
  }
}

TEST(HelpDialogs, InstructionBlocksKeepTheirLineBreaks) {
  CHelpWhatToDoDialog dialog;
  EXPECT_EQ(dialog.windowTitle(), QStringLiteral("General Instructions"));
  const int lines[] = {6, 3, 3};
  for (int i = 0; i < 3; ++i) {
    auto* label = dialog.findChild<QLabel*>(QStringLiteral("instructions_%1").arg(i + 1));
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text().split('\n').size(), lines[i]) << i;
  }
  EXPECT_TRUE(dialog.findChild<QLabel*>("instructions_1")
                  ->text()
                  .startsWith(QStringLiteral("1)   Open 'Mode' and select 'Poll'.\n2)   Click")));
  // OK sits at the top right.
  dialog.show();
  auto* ok = dialog.findChild<QPushButton*>("instructions_ok");
  EXPECT_GT(ok->geometry().center().x(), dialog.width() / 2);
  EXPECT_LT(ok->geometry().center().y(), dialog.height() / 4);
}

// The About command runs the box modally over the window; its web button reaches the
// window's home-page command.
TEST(HelpDialogs, AboutCommandRunsTheBoxModally) {
  WindowRig rig;
  CMainWindow& w = rig.Make();
  bool sawAbout = false;
  QTimer::singleShot(0, [&] {
    auto* d = qobject_cast<CHelpAboutDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(d, nullptr);
    sawAbout = d->parentWidget() == &w;
    d->accept();
  });
  w.ExecuteCommand(cmd::kAbout);
  EXPECT_TRUE(sawAbout);
  bool sawInstructions = false;
  QTimer::singleShot(0, [&] {
    auto* d = qobject_cast<CHelpWhatToDoDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(d, nullptr);
    sawInstructions = true;
    d->reject();
  });
  w.ExecuteCommand(cmd::kInstructions);
  EXPECT_TRUE(sawInstructions);
}

}  // namespace
}  // namespace quorvane::testing
