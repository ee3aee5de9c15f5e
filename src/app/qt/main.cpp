#include <QApplication>

#include "app/qt/quorvane_app.h"
#include "platform/linux/linux_clock.h"

int main(int argc, char** argv) {
  // Counted before Qt takes its own options out: any argument asks for the one-shot sync.
  const int argumentCount = argc;
  QApplication application(argc, argv);
  quorvane::LinuxClock clock;
  quorvane::QuorvaneSetup setup;
  setup.clock = &clock;
  quorvane::CQuorvaneapp app(argumentCount, argv, std::move(setup));
  return app.Run();
}
