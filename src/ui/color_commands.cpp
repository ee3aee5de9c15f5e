#include "ui/color_commands.h"

#include "ui/command_ids.h"

namespace quorvane {
namespace {

// Where the colour dialog starts, whatever the current colours are.
constexpr uint32_t kColorDialogStart = 0x00005555;

void ChooseColor(TimeDisplay& display, const DesktopServices& desktop, bool foreground) {
  const std::optional<QColor> chosen = desktop.chooseColor(ColorFromColorRef(kColorDialogStart));
  if (!chosen || !chosen->isValid()) return;
  const uint32_t colorRef = ColorRefFromColor(*chosen);
  if (foreground) {
    display.SetForeGroundColor(colorRef);
  } else {
    display.SetBackGroundColor(colorRef);
  }
}

}  // namespace

void RegisterColorCommands(CommandRegistry& commands, TimeDisplay& display,
                           const DesktopServices& desktop) {
  commands.Register(cmd::kForegroundColor,
                    [&display, desktop] { ChooseColor(display, desktop, true); });
  commands.Register(cmd::kBackgroundColor,
                    [&display, desktop] { ChooseColor(display, desktop, false); });
  commands.Register(cmd::kResetColors, [&display] {
    display.SetForeGroundColor(kDefaultForeGroundColor);
    display.SetBackGroundColor(kDefaultBackGroundColor);
  });
}

}  // namespace quorvane
