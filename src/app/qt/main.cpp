#include <QApplication>
#include <cstdio>
#include <cstring>

#include "app/qt/quorvane_app.h"
#include "helper/linux/helper_client.h"
#include "helper/linux/helper_clock.h"
#include "platform/linux/capability_drop.h"
#include "platform/linux/program_path.h"
#include "platform/linux/user_files.h"

int main(int argc, char** argv) {
  // Setting the clock and binding port 123 are the helper's alone. Whatever this file was
  // granted goes before Qt loads a single plugin, which a user can choose.
  if (const int error = quorvane::DropAllCapabilities(); error != 0) {
    std::fprintf(stderr, "Quorvane: cannot give up its capabilities: %s\n", std::strerror(error));
    return 1;
  }
  // Counted before Qt takes its own options out: any argument asks for the one-shot sync.
  const int argumentCount = argc;
  QApplication application(argc, argv);
  // Lets the desktop match the window to the installed menu entry and its icon.
  QGuiApplication::setDesktopFileName(QStringLiteral("example.veltrand.quorvane"));
  // Started by its first request, so a run that never corrects the clock never starts it.
  quorvane::HelperClient helper(quorvane::HelperBesideExecutable());
  quorvane::HelperClock clock(helper);
  quorvane::QuorvaneSetup setup;
  setup.clock = &clock;
  setup.helper = &helper;
  // Installed, the log and the server list are the user's own, in the user's data folder.
  setup.programDirectory = quorvane::UserFilesDirectoryForProgram(
      quorvane::ProgramDirectoryOf(quorvane::ExecutablePath()));
  quorvane::CQuorvaneapp app(argumentCount, argv, std::move(setup));
  return app.Run();
}
