// The time from the Correction History command to its window being shown, for logs of the
// sizes given on the command line (default 10 000 and 1 000 000 entries). Run offscreen.

#include <QApplication>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/qt/quorvane_app.h"
#include "fakes/fake_message_boxes.h"
#include "logging/log_entry.h"
#include "logging/qt/correction_history_window.h"
#include "support/log_test_files.h"
#include "ui/command_ids.h"

namespace {

// Polls every 30 s from two servers, losing 12 s a day, with a failure now and then.
std::string Log(long count) {
  quorvane::AppSettings s;
  s.Socket_Mode = quorvane::kPollMode;
  s.IntervalNum = "30";
  s.IntervalUnit = "Second(s)";
  std::string log;
  for (long i = 0; i < count; ++i) {
    s.ServerInUse = i % 3 == 0 ? "192.0.2.10" : "ntp1.example.net";
    const double correction = 12.0 / 86400 * 30 + ((i * 37) % 101 - 50) / 10000.0;
    log += *quorvane::FormatLogEntry(s, 1246716000 + int64_t{i} * 30, correction,
                                     i % 997 == 5 ? 'F' : 'S');
    log += "\r\n";
  }
  return log;
}

double OpenSeconds(const std::string& path) {
  using namespace quorvane;
  testing::FakeMessageBoxes boxes;
  AppSettings settings;
  settings.LogFilePath = path;
  CommandRegistry commands;
  RegisterCorrectionHistoryCommand(commands, nullptr, settings, boxes);
  const auto start = std::chrono::steady_clock::now();
  double shownAfter = -1;
  QTimer::singleShot(0, [&] {
    QWidget* window = QApplication::activeModalWidget();
    if (window != nullptr && window->isVisible()) {
      shownAfter = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    if (window != nullptr) window->close();
  });
  commands.Run(cmd::kCorrectionHistory);
  return shownAfter;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  quorvane::UseCFormatsForTimesAndNumbers();
  std::vector<long> counts;
  for (int i = 1; i < argc; ++i) counts.push_back(std::strtol(argv[i], nullptr, 10));
  if (counts.empty()) counts = {10'000, 1'000'000};
  quorvane::testing::TempDir dir;
  int failed = 0;
  for (const long count : counts) {
    const std::string path = dir.path() + "/Quorvane.txt";
    quorvane::testing::WriteFileBytes(path, Log(count));
    double best = -1;
    for (int run = 0; run < 3; ++run) {
      const double t = OpenSeconds(path);
      if (t >= 0 && (best < 0 || t < best)) best = t;
    }
    std::printf("%ld entries: command to window shown %.3f s (best of 3)\n", count, best);
    if (best < 0) ++failed;
  }
  return failed == 0 ? 0 : 1;
}
