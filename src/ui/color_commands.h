#pragma once

#include "ui/command_registry.h"
#include "ui/desktop_services.h"
#include "ui/time_band.h"

namespace quorvane {

// Foreground, Background and Reset Colors. The colours show from the next tick and are
// saved when the window goes.
void RegisterColorCommands(CommandRegistry& commands, TimeDisplay& display,
                           const DesktopServices& desktop);

}  // namespace quorvane
