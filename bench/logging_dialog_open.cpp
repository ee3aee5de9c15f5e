// The time from command 40044 to the Logging & Statistics dialog being shown, for the log
// named on the command line. Run offscreen by bench/log_statistics.sh.

#include <QApplication>
#include <QTimer>
#include <chrono>
#include <cstdio>

#include "app/qt/quorvane_app.h"
#include "fakes/fake_clock.h"
#include "fakes/fake_message_boxes.h"
#include "fakes/fake_settings_store.h"
#include "logging/qt/logging_dialog.h"
#include "logging/sync_log.h"
#include "support/settings_fixtures.h"
#include "ui/command_ids.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s LOG\n", argv[0]);
    return 2;
  }
  QApplication application(argc, argv);
  quorvane::UseCFormatsForTimesAndNumbers();
  using namespace quorvane;
  AppSettings settings;
  testing::FakeSettingsStore store;
  testing::FakeMessageBoxes boxes;
  testing::FakeClock clock;
  testing::LoadDefaults(settings, store, boxes);
  settings.LogFilePath = argv[1];
  TimeDisplay display(settings);
  display.MakeSharedFont();
  SyncLog log(settings, clock, boxes);
  CommandRegistry commands;
  RegisterLoggingCommand(commands, nullptr, {settings, store, boxes, log, display}, {});
  const auto start = std::chrono::steady_clock::now();
  double shownAfter = -1;
  QTimer::singleShot(0, [&] {
    QWidget* dialog = QApplication::activeModalWidget();
    if (dialog != nullptr && dialog->isVisible()) {
      shownAfter = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    if (dialog != nullptr) dialog->close();
  });
  commands.Run(cmd::kLogging);
  std::printf("command 40044 to dialog shown: %.3f s\n", shownAfter);
  return shownAfter < 0 ? 1 : 0;
}
