#include "ui/help_commands.h"

#include <QDesktopServices>
#include <QUrl>

#include "ui/command_ids.h"
#include "ui/help_dialogs.h"

namespace quorvane {

void RegisterHelpCommands(CommandRegistry& commands, QWidget* parent) {
  commands.Register(cmd::kAbout, [&commands, parent] {
    CHelpAboutDialog dialog([&commands] { commands.Run(cmd::kHomePage); }, parent);
    dialog.exec();
  });
  commands.Register(cmd::kInstructions, [parent] {
    CHelpWhatToDoDialog dialog(parent);
    dialog.exec();
  });
  commands.Register(cmd::kHomePage,
                    [] { QDesktopServices::openUrl(QUrl(QString::fromUtf8(kHomePageUrl))); });
  commands.Register(cmd::kHelpPage,
                    [] { QDesktopServices::openUrl(QUrl(QString::fromUtf8(kHelpPageUrl))); });
}

}  // namespace quorvane
