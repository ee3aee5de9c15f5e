#include "app/qt/quorvane_app.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QCoreApplication>
#include <QDialog>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <memory>
#include <sstream>

#include "fakes/fake_clock.h"
#include "fakes/fake_message_boxes.h"
#include "fakes/fake_privileged_helper.h"
#include "fakes/fake_settings_store.h"
#include "logging/qt/logging_dialog.h"
#include "platform/qt/settings_store.h"
#include "sntp/listen_mode.h"
#include "sntp/sntp_engine.h"
#include "sntp/socket_error_text.h"
#include "support/without_bind_privilege.h"
#include "ui/main_window.h"

namespace quorvane {
namespace {

using testing::FakeMessageBoxes;
using testing::OffsetClock;

// A program directory, settings file and instance name of this test only.
class QuorvaneAppTest : public ::testing::Test {
 protected:
  void WriteSettings(const std::string& options) {
    ++writes_;
    QFile file(SettingsPath());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(("[Options]\n" + options).c_str());
  }
  // A new file for every rewrite: QSettings knows a changed file only by size and time
  // stamp, which two quick writes of one length can share.
  QString SettingsPath() const { return dir_.filePath(QString("Quorvane%1.conf").arg(writes_)); }
  std::string Directory() const { return dir_.path().toStdString() + "/"; }

  QuorvaneSetup Setup(Clock& clock, SettingsStore& store) {
    QuorvaneSetup setup;
    setup.clock = &clock;
    setup.store = &store;
    setup.boxes = &boxes_;
    setup.executablePath = Directory() + "Quorvane";
    setup.programDirectory = Directory();
    setup.instanceName = "quorvane-app-test-" + std::to_string(::getpid());
    return setup;
  }

  // The program as started without arguments.
  std::unique_ptr<CQuorvaneapp> Program(Clock& clock, SettingsStore& store) {
    return std::make_unique<CQuorvaneapp>(1, argv_, Setup(clock, store));
  }

  std::string ReadLog() const {
    std::ifstream in(Directory() + "Quorvane.txt", std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  QTemporaryDir dir_;
  int writes_ = 0;
  FakeMessageBoxes boxes_;
  char program_[9] = "Quorvane";
  char* argv_[2] = {program_, nullptr};
};

TEST_F(QuorvaneAppTest, OneShotCommandLineSetsTheClockFromChronyOnceThenAsksToClose) {
  WriteSettings("Primary_Server=127.0.0.1\nSecondary_Server=127.0.0.1\nLogToFile=1\n");
  auto store = QtSettingsStore::ForFile(SettingsPath());
  OffsetClock clock(-5250);  // 5.25 s behind
  char program[] = "Quorvane";
  char argument[] = "x";
  char* argv[] = {program, argument, nullptr};
  int clockSetsWhenAsked = -1;
  boxes_.onShow = [&](const BoxRequest& box) {
    if (box.text == kCloseQuestion) clockSetsWhenAsked = clock.setCount;
  };
  CQuorvaneapp app(2, argv, Setup(clock, *store));
  // A program that never asks to close would hang the test: end it with a failure status.
  QTimer guard;
  guard.setSingleShot(true);
  QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(1); });
  guard.start(20000);

  const int status = app.Run();

  ASSERT_EQ(status, 0) << "no close was asked for; is chrony serving 127.0.0.1:123?";
  EXPECT_EQ(clockSetsWhenAsked, 1);
  EXPECT_EQ(clock.setCount, 1);
  EXPECT_LT(std::llabs(clock.OffsetMs()), 25)
      << "virtual clock off by " << clock.OffsetMs() << " ms";
  ASSERT_EQ(boxes_.shown.size(), 1u) << (boxes_.shown.empty() ? "" : boxes_.shown[0].text);
  EXPECT_EQ(boxes_.shown[0], ApplicationBox(kCloseQuestion, BoxButtons::OkCancel));
  const std::string log = ReadLog();
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1) << log;
  // The window is gone and has written its four keys.
  EXPECT_EQ(app.MainWindow(), nullptr);
  auto reader = QtSettingsStore::ForFile(SettingsPath());
  EXPECT_EQ(reader->ReadInt("MinimizeToTray", -1), 1);
  EXPECT_EQ(reader->ReadInt("BackGroundColor", -1), static_cast<int32_t>(kDefaultBackGroundColor));
}

TEST_F(QuorvaneAppTest, CancelledCloseKeepsTheProgramRunning) {
  WriteSettings("Primary_Server=127.0.0.1\nSecondary_Server=127.0.0.1\nLogToFile=0\n");
  auto store = QtSettingsStore::ForFile(SettingsPath());
  OffsetClock clock(0);
  auto app = Program(clock, *store);
  ASSERT_TRUE(app->InitInstance());
  boxes_.answers = {BoxAnswer::Cancel};
  EXPECT_FALSE(app->MainWindow()->close());
  ASSERT_NE(app->MainWindow(), nullptr);
  EXPECT_TRUE(app->MainWindow()->isVisible());
  EXPECT_FALSE(app->Settings().CommandLineSync);
}

// Command 40044 opens the logging dialog over the main window on the program's own log,
// and its OK is told in the status bar.
TEST_F(QuorvaneAppTest, LoggingCommandOpensTheDialogOnTheProgramsLog) {
  WriteSettings("Primary_Server=127.0.0.1\nSecondary_Server=127.0.0.1\nLogToFile=0\n");
  std::ofstream(Directory() + "Quorvane.txt") << "2009/07/04,14:05:09,+0.5,h,1,H,S\r\n";
  auto store = QtSettingsStore::ForFile(SettingsPath());
  OffsetClock clock(0);
  auto app = Program(clock, *store);
  ASSERT_TRUE(app->InitInstance());
  QString count;
  QTimer::singleShot(0, [&] {
    auto* dialog = qobject_cast<CLoggingDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->parentWidget(), app->MainWindow());
    count = dialog->findChild<QLineEdit*>("correctionCountEdit")->text();
    dialog->accept();
  });
  app->MainWindow()->ExecuteCommand(cmd::kLogging);
  EXPECT_EQ(count, "1");
  EXPECT_EQ(app->MainWindow()->findChild<QLabel*>("statusText")->text(), kLoggingSavedText);
}

TEST_F(QuorvaneAppTest, UnreadableSettingsStartWithTheDefaults) {
  WriteSettings(
      "Primary_Server=127.0.0.1\nSecondary_Server=127.0.0.1\n"
      "SyncInterval=abc\nSocket_Mode=99999999999\nStartMinimized=yes\n"
      "ForeGroundColor=4294967295\nNotify_User=1.5\nLogToFile=0x1\nLogs_To_Keep=\n"
      "Broadcast_Timeout=1, 2\nIntervalUnit=@Rect(1 2 3 4)\nMinimizeToTray=-2147483649\n");
  auto store = QtSettingsStore::ForFile(SettingsPath());
  OffsetClock clock(0);
  auto app = Program(clock, *store);
  ASSERT_TRUE(app->InitInstance());

  testing::FakeSettingsStore empty;
  empty.WriteString("Primary_Server", "127.0.0.1");
  empty.WriteString("Secondary_Server", "127.0.0.1");
  FakeMessageBoxes unused;
  AppSettings defaults;
  defaults.Load(empty, unused, Directory());

  const AppSettings& loaded = app->Settings();
  EXPECT_EQ(loaded.SyncInterval, defaults.SyncInterval);
  EXPECT_EQ(loaded.Socket_Mode, kPollMode);
  EXPECT_EQ(loaded.StartMinimized, defaults.StartMinimized);
  EXPECT_EQ(loaded.ForeGroundColor, kDefaultForeGroundColor);
  EXPECT_EQ(loaded.Notify_User, defaults.Notify_User);
  EXPECT_EQ(loaded.LogToFile, defaults.LogToFile);
  EXPECT_EQ(loaded.Logs_To_Keep, defaults.Logs_To_Keep);
  EXPECT_EQ(loaded.Broadcast_Timeout, defaults.Broadcast_Timeout);
  EXPECT_EQ(loaded.IntervalUnit, defaults.IntervalUnit);
  EXPECT_EQ(loaded.MinimizeToTray, defaults.MinimizeToTray);
  EXPECT_EQ(loaded.MaxCorrectionSeconds, defaults.MaxCorrectionSeconds);
  EXPECT_EQ(loaded.BroadcastTimeoutMs, defaults.BroadcastTimeoutMs);
  EXPECT_EQ(loaded.LogFilePath, Directory() + "Quorvane.txt");
  EXPECT_TRUE(boxes_.shown.empty());
  EXPECT_FALSE(app->MainWindow()->isMinimized());
}

TEST_F(QuorvaneAppTest, UnknownSocketModeIsReportedOnceAtStartUp) {
  WriteSettings("Primary_Server=127.0.0.1\nSecondary_Server=127.0.0.1\nSocket_Mode=3\n");
  auto store = QtSettingsStore::ForFile(SettingsPath());
  OffsetClock clock(0);
  auto app = Program(clock, *store);
  ASSERT_TRUE(app->InitInstance());
  EXPECT_EQ(boxes_.Texts(),
            std::vector<std::string>{"Message from Quorvane: Unknown Socket Mode!"});
}

// A user without the right to port 123, whose helper cannot help either: the bind failure
// and how to get the right.
TEST_F(QuorvaneAppTest, ListenModeRefusedByTheHelperExplainsHowToGetTheRight) {
  if (!testing::WithoutBindPrivilege::PortNeedsTheRight()) GTEST_SKIP() << "port 123 is open";
  WriteSettings("Primary_Server=127.0.0.1\nSecondary_Server=127.0.0.1\nLogToFile=0\n");
  auto store = QtSettingsStore::ForFile(SettingsPath());
  OffsetClock clock(0);
  testing::FakePrivilegedHelper helper;
  helper.error = EACCES;  // the user is not in the helper's group
  QuorvaneSetup setup = Setup(clock, *store);
  setup.helper = &helper;
  CQuorvaneapp app(1, argv_, std::move(setup));
  ASSERT_TRUE(app.InitInstance());
  QTimer::singleShot(0,
                     [] { qobject_cast<QDialog*>(QApplication::activeModalWidget())->accept(); });
  {
    testing::WithoutBindPrivilege unprivileged;
    app.MainWindow()->ExecuteCommand(cmd::kListenMode);
  }
  EXPECT_EQ(helper.calls, std::vector<std::string>{"bind"});
  EXPECT_EQ(app.Settings().Socket_Mode, kPollMode);
  EXPECT_EQ(app.MainWindow()->findChild<QLabel*>("statusText")->text(), kListenFailedText);
  ASSERT_EQ(boxes_.shown.size(), 2u);
  EXPECT_EQ(boxes_.shown[0].text, std::string(kBindErrorPrefix) + "Unknown socket error.");
  EXPECT_EQ(boxes_.shown[1].text, BindFailureExplanation(wsa::kAccess));
  EXPECT_NE(boxes_.shown[1].text.find("sudo adduser $USER quorvane\n"), std::string::npos);
}

struct ShowCase {
  const char* line;
  bool minimized;
};

TEST_F(QuorvaneAppTest, WindowStartsMinimisedOnlyWhenStartMinimizedIsOne) {
  const ShowCase cases[] = {
      {"", false},
      {"StartMinimized=1\n", true},
      {"StartMinimized=0\n", false},
      {"StartMinimized=2\n", false},
      {"StartMinimized=1x\n", false},
  };
  for (const ShowCase& c : cases) {
    WriteSettings(std::string("Primary_Server=127.0.0.1\nSecondary_Server=127.0.0.1\n") +
                  "MinimizeToTray=0\n" + c.line);
    auto store = QtSettingsStore::ForFile(SettingsPath());
    OffsetClock clock(0);
    auto app = Program(clock, *store);
    ASSERT_TRUE(app->InitInstance());
    EXPECT_EQ(app->MainWindow()->isMinimized(), c.minimized) << c.line;
  }
}

TEST_F(QuorvaneAppTest, SecondInstanceMakesNothing) {
  WriteSettings("Primary_Server=127.0.0.1\nSecondary_Server=127.0.0.1\n");
  auto store = QtSettingsStore::ForFile(SettingsPath());
  OffsetClock clock(0);
  auto first = Program(clock, *store);
  ASSERT_TRUE(first->InitInstance());
  testing::FakeSettingsStore otherStore;
  auto second = Program(clock, otherStore);
  EXPECT_EQ(second->Run(), 0);
  EXPECT_EQ(second->MainWindow(), nullptr);
  EXPECT_EQ(second->Engine(), nullptr);
  EXPECT_TRUE(otherStore.readKeys.empty());
}

// However the environment's locale formats them, the program's times are 24-hour with English
// month names and its numbers have a decimal point.
TEST_F(QuorvaneAppTest, TimesAndNumbersAreFormattedAsInTheCLocale) {
  WriteSettings("Primary_Server=127.0.0.1\nSecondary_Server=127.0.0.1\n");
  auto store = QtSettingsStore::ForFile(SettingsPath());
  OffsetClock clock(0);
  int tried = 0;
  for (const char* userLocale : {"en_US.UTF-8", "de_DE.UTF-8", "C.UTF-8"}) {
    // What making the QApplication does with such an environment.
    if (std::setlocale(LC_TIME, userLocale) == nullptr) continue;
    std::setlocale(LC_NUMERIC, userLocale);
    ++tried;
    {
      auto app = Program(clock, *store);
      ASSERT_TRUE(app->InitInstance());
      std::tm june{};
      june.tm_year = 109, june.tm_mon = 5, june.tm_mday = 15;
      june.tm_hour = 14, june.tm_min = 5, june.tm_sec = 9;
      char text[128];
      std::strftime(text, sizeof text, "%X %B %d, %Y", &june);
      EXPECT_STREQ(text, "14:05:09 June 15, 2009") << userLocale;
      std::snprintf(text, sizeof text, "%.3f", 0.5);
      EXPECT_STREQ(text, "0.500") << userLocale;
      EXPECT_STREQ(std::setlocale(LC_TIME, nullptr), "C") << userLocale;
      EXPECT_STREQ(std::setlocale(LC_NUMERIC, nullptr), "C") << userLocale;
    }
  }
  EXPECT_GT(tried, 0);
}

TEST(ApplicationNameTest, IsTheExecutablesFileName) {
  EXPECT_EQ(ApplicationNameOf("/opt/time/Quorvane"), "Quorvane");
  EXPECT_EQ(ApplicationNameOf("Quorvane"), "Quorvane");
  EXPECT_EQ(ApplicationNameOf("/usr/bin/qv"), "qv");
  EXPECT_EQ(ApplicationNameOf(""), "Quorvane");
  EXPECT_EQ(ApplicationNameOf("/odd/"), "Quorvane");
}

}  // namespace
}  // namespace quorvane
